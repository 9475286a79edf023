; Decimal arithmetic on RAM registers. A number is sixteen BCD characters,
; character 0 the lowest digit, with its decimals in status character 1 and
; its sign in status character 3. Numbers keep at most fifteen digits, so
; character 15 is free to take the carry of a sum.
;
; The routines work on the register that P4 selects (R8 the register, R9 the
; character) and take a second operand from P3 (R6, R7). They run at depth 1
; or 2 and use R12, R13 as scratch.

; P4's register = P3's register: the digits, the decimals and the sign;
; P4's status character 2 is cleared (the entry's "being typed", a result's
; first digit cut off).
copy:   ldm 0
        xch R7
        ldm 0
        xch R9
cp_lp:  src P3
        rdm
        src P4
        wrm
        inc R7
        isz R9, cp_lp
        src P3
        rd1
        src P4
        wr1
        src P3
        rd3
        src P4
        wr3
        ldm 0
        wr2                     ; a copy is not being typed, and has no digit cut off
        bbl 0

; P4's register = 0, its four status characters too.
clear:  ldm 0
        xch R9
cl_lp:  src P4
        ldm 0
        wrm
        isz R9, cl_lp
        wr0
        wr1
        wr2
        wr3
        bbl 0

; Multiplies P4's digits by ten: R12 enters as character 0, character 15
; leaves in R12.
shiftup:
        ldm 0
        xch R9
su_lp:  src P4
        rdm
        xch R12
        wrm
        isz R9, su_lp
        bbl 0

; Divides P4's digits by ten: R12 enters as character 15, character 0
; leaves in R12.
shiftdown:
        ldm 15
        xch R9
sd_lp:  src P4
        rdm
        xch R12
        wrm
        ld R9
        dac
        xch R9
        jcn c, sd_lp            ; down to character 0
        bbl 0

; P4 += P3, digit by digit with the decimal carry. Both start at character
; 0: every caller selects the registers with FIM (whose low nibbles are 0),
; or comes from another of these loops, which leaves R7 and R9 back at 0.
add16:  clc
a16_lp: src P3
        rdm
        src P4
        adm
        daa
        wrm
        inc R7
        isz R9, a16_lp
        bbl 0

; P4 -= P3 by adding the ten's complement. Carry 1 at the end: no borrow.
; TCS gives 10 - d for the first digit (carry set) and then 9 - d plus the
; carry of the digit below. R7 and R9 start at 0, as for add16.
sub16:  stc
s16_lp: src P3
        rdm
        xch R13
        tcs
        sub R13
        clc
        src P4
        adm
        daa
        wrm
        inc R7
        isz R9, s16_lp
        bbl 0

; P4 += 1, or P4 += carry from carry16 on.
inc16:  stc
carry16:
        ldm 0
        xch R9
ic_lp:  ldm 0
        src P4
        adm
        daa
        wrm
        isz R9, ic_lp
        bbl 0

; P4 = 0 - P4, its sign turned: a borrowed difference back into its size.
; Its one caller comes from sub16, which leaves R9 at 0.
negate: stc
ng_lp:  src P4
        rdm
        xch R13
        tcs
        sub R13
        clc
        daa                     ; 10 is 0 and carries
        wrm
        isz R9, ng_lp
; The sign of the selected register turns ("S" calls this too).
flipsign:
        rd3
        cma
        rar
        tcc
        wr3
        bbl 0

; One more decimal for P4 (times ten) when it has room for a fifteenth
; digit: accumulator 0, R12 0; else 1 and nothing changes. Entered at rs9
; with R9 = 15, it may fill a sixteenth digit.
raise:  ldm 14
        xch R9
rs9:    src P4
        rdm
        jcn nz, rs_no
        xch R12                 ; a 0 enters on the right
        jms shiftup             ; (which leaves P4 selected)
        rd1
        iac
        wr1
        bbl 0
rs_no:  bbl 1
