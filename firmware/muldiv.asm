; Multiplication and division: ENTRY = PEND "X" or "/" ENTRY, the result
; also in LAST, marked as a result. Fifteen digits are kept, the decimals
; cut after the last that fits. A result too large, or a division by 0,
; overflows.

; PEND x ENTRY. The product, up to thirty digits, is built in WORK (upper
; sixteen) and LAST (lower sixteen): for each digit of ENTRY from the top,
; the product is multiplied by ten and PEND added that many times.
mul:    fim P1, (ENTRY << 4) | 15 ; P1 reads ENTRY's digits: R3 from 15 down to 0
        fim P3, PEND << 4
ml_dig: jms scan                ; keys typed meanwhile are kept; R12 = 0
        jms shiftup             ; P4 = LAST: the lower half times ten,
        fim P4, WORK << 4
        jms shiftup             ; its top digit into the upper half
        src P1
        rdm                     ; the digit: how many times PEND is added
        jcn z, ml_nxt
        cma
        iac
        xch R5                  ; R5 = 16 - the digit, counted up to 0
ml_add: fim P4, LAST << 4
        jms add16
        fim P4, WORK << 4
        jms carry16
        isz R5, ml_add
ml_nxt: fim P4, LAST << 4
        ld R3
        dac
        xch R3
        jcn c, ml_dig
        ; decimals: PEND's + ENTRY's (+ 2 for "%"), up to 30, in R2 (16s)
        ; and R3
        src P1                  ; (P1 still selects ENTRY)
        rd1
        xch R3
        fim P4, PEND << 4
        src P4
        rd1
        add R3                  ; (the loop left the carry clear)
        xch R3
        tcc
        xch R2
        ld R4
        cma                     ; 2 for "%" (TCC left the carry clear)
        add R3
        xch R3
        tcc
        add R2
        xch R2
; The division comes here too, with its quotient in LAST (WORK 0).
ml_fz:  ldm 0
        xch R12                 ; no digit cut off yet
ml_fit: ld R2                   ; 16 or more decimals: cut one
        jcn nz, ml_cut
        ld R3
        iac
        jcn z, ml_cut           ; 15
        fim P4, WORK << 4       ; at most 14: cut while more than fifteen digits
        jms iszero
        jcn nz, ml_big
        fim P4, (LAST << 4) | 15
        src P4
        rdm
        jcn z, sign
ml_big: ld R3
        jcn z, dv_over          ; no decimal left to give up
ml_cut: ldm 0
        xch R12
        fim P4, WORK << 4
        jms shiftdown
        fim P4, LAST << 4
        jms shiftdown           ; the upper half's lowest digit comes down,
                                ; the lowest digit goes into R12
        jms countdown           ; one decimal fewer
        jun ml_fit

; The result in LAST gets PEND's sign times ENTRY's, R3 decimals, and in
; status character 2 the first digit cut off it (R12), from which "5/4"
; rounds it when it is printed.
sign:   fim P4, PEND << 4
        src P4
        rd3
        xch R6
        fim P4, ENTRY << 4
        src P4
        rd3
        clc
        add R6
        rar
        tcc
sg_last:                        ; (the square root comes here with its own)
        fim P4, LAST << 4
        src P4
        wr3
        ld R3
        wr1
        ld R12
        wr2
; LAST (P4) is the result: trimmed, marked, and copied into the entry.
result: jms trim                ; (which leaves LAST selected)
        ldm 1
        wr0
        fim P3, LAST << 4
        fim P4, ENTRY << 4
        jms copy
rs_loop:
        jun loop

; PEND / ENTRY by long division, in place: the divisor (ENTRY) is shifted up
; until its top digit is in character 14, so each quotient digit, the count
; of how often the divisor comes off the remainder, is 0 to 9; then the
; remainder is multiplied by ten. R2, R3 count the quotient's decimals
; (negative while its digits are still left of the point): PEND's decimals -
; ENTRY's - 1 (- 2 more for "%", which is PEND x 100 / ENTRY), minus one per
; shift of the divisor, plus one per digit. Once the point is passed the
; division makes sixteen digits, or fifteen decimals, and cuts the last off
; into R12: the result keeps fifteen digits, or fourteen decimals, and the
; digit after them for the rounding.
div:    fim P4, PEND << 4
        src P4
        rd1
        xch R3                  ; PEND's decimals
        fim P4, ENTRY << 4
        jms iszero
        jcn z, dv_over          ; division by 0 (iszero leaves ENTRY selected)
        rd1
        xch R2
        ld R3
        clc
        sub R2
        xch R3
        tcc
        dac                     ; a borrow makes the sixteens 15: negative
        xch R2
dv_pc:  jms countdown           ; once, or three times for "%" (R4 = 13)
        isz R4, dv_pc
dv_nb:  jms raise               ; the divisor times ten while its character
        jcn nz, dv_dig          ; 14 is 0 (its decimals count up, unused)
        jms countdown
        jun dv_nb
dv_dig: fim P4, (LAST << 4) | 15
        src P4
        rdm
        xch R6                  ; not 0: sixteen digits
        ld R2
        ral
        jcn c, dv_left          ; left of the point
        ld R6
        jcn nz, ml_fz           ; sixteen digits: the last is cut off
        ld R3
        iac
        jcn c, ml_fz            ; fifteen decimals: the last is cut off
dv_gen: ldm 0
        xch R5
        fim P3, ENTRY << 4
        fim P4, PEND << 4
dv_sub: jms sub16               ; (which leaves both registers selected)
        jcn nc, dv_back
        inc R5
        jun dv_sub
dv_back:
        jms add16               ; one subtraction too many, undone
        ld R5
        xch R12
        fim P4, LAST << 4
        jms shiftup             ; the digit joins the quotient; its character
                                ; 15 was 0, and leaves R12 0
        fim P4, PEND << 4
        jms shiftup             ; the remainder times ten
        isz R3, dv_scan
        inc R2
dv_scan:
        jms scan                ; keys typed meanwhile are kept
        jun dv_dig
dv_left:
        ld R6
        jcn z, dv_gen
dv_over:
        jun overflow            ; too many digits before the point
