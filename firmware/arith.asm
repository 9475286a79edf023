; Decimal arithmetic on RAM registers. A number is sixteen BCD characters,
; character 0 the lowest digit, with its decimals in status character 1 and
; its sign in status character 3. Numbers keep at most fifteen digits, so
; character 15 is free to take the carry of a sum.
;
; The routines work on the register that P4 selects (R8 the register, R9 the
; character) and take a second operand from P3 (R6, R7). They run at depth 1
; or 2 and use R12, R13 as scratch.

; P4's register = P3's register: the digits, the decimals and the sign.
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

; Divides P4's digits by ten, dropping the lowest (left in R12).
shiftdown:
        ldm 0
        xch R12
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

; P4 += P3, digit by digit with the decimal carry.
add16:  ldm 0
        xch R7
        ldm 0
        xch R9
        clc
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
; carry of the digit below.
sub16:  ldm 0
        xch R7
        ldm 0
        xch R9
        stc
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

; P4 = 0 - P4: turns a borrowed difference back into its size.
negate: ldm 0
        xch R9
        stc
ng_lp:  src P4
        rdm
        xch R13
        tcs
        sub R13
        clc
        daa                     ; 10 is 0 and carries
        wrm
        isz R9, ng_lp
        bbl 0

; Accumulator 0 when P4's digits are all 0.
iszero: ldm 0
        xch R9
iz_lp:  src P4
        rdm
        jcn nz, iz_no
        isz R9, iz_lp
        bbl 0
iz_no:  bbl 1

; One more decimal for P4 (times ten) when it has room for a fifteenth
; digit: accumulator 0; else 1 and nothing changes.
raise:  ldm 14
        xch R9
        src P4
        rdm
        jcn nz, rs_no
        xch R12                 ; a 0 enters on the right
        jms shiftup
        src P4
        rd1
        iac
        wr1
        bbl 0
rs_no:  bbl 1

; One decimal fewer for P4: its lowest digit is cut off.
lower:  jms shiftdown
        src P4
        rd1
        dac
        wr1
        bbl 0

; ADDS 0 / ADDS 1: total = total + or - entry. The number with fewer
; decimals is raised to the other's (or, with no room, the other is cut to
; its decimals); then same signs add and opposite signs subtract. A sum of
; sixteen digits gives up a decimal, or overflows if it has none.
adds:   jms operand             ; R5: 1 subtracts
        ld R5
        xch R14
        fim P3, ENTRY << 4
        fim P4, WORK << 4
        jms copy
        src P4
        rd3
        clc
        add R14
        rar
        tcc
        wr3                     ; the sign of what is added
ad_al:  fim P4, TOTAL << 4
        src P4
        rd1
        xch R14                 ; the total's decimals
        fim P4, WORK << 4
        src P4
        rd1
        clc
        sub R14                 ; the operand's decimals minus the total's
        jcn z, ad_sign
        jcn c, ad_more
        jms raise               ; the total has more: raise the operand
        jcn z, ad_al
        fim P4, TOTAL << 4
        jms lower
        jun ad_al
ad_more:
        fim P4, TOTAL << 4      ; the operand has more: raise the total
        jms raise
        jcn z, ad_al
        fim P4, WORK << 4
        jms lower
        jun ad_al
ad_sign:
        fim P4, TOTAL << 4
        src P4
        rd3
        xch R14
        fim P3, WORK << 4
        src P3
        rd3
        clc
        sub R14
        jcn nz, ad_diff
        jms add16               ; same signs: the sizes add
        jun ad_fit
ad_diff:
        jms sub16               ; opposite signs: the smaller comes off
        jcn c, ad_fit
        jms negate              ; the operand was larger: the sign turns
        src P4
        rd3
        cma
        rar
        tcc
        wr3
ad_fit: fim P4, (TOTAL << 4) | 15
        src P4
        rdm
        jcn z, ad_trim          ; still fifteen digits at most
        rd1
        jcn z, ad_over          ; no decimal to give up
        jms lower
ad_trim:
        fim P4, TOTAL << 4      ; trailing zeros of the decimals go
        src P4
        rd1
        jcn z, ad_zero
        rdm
        jcn nz, ad_zero
        jms lower
        jun ad_trim
ad_zero:
        jms iszero
        jcn nz, ad_done
        src P4
        wr3                     ; zero has no sign
ad_done:
        jun loop
ad_over:
        ldm 1
        wr0                     ; overflowed: only "C" is taken now
        fim P0, k_overflow & 0xFF
        jun loop
