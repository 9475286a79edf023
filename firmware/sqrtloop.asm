; The square root's digits (sqrt.asm has the method and the registers).

; After a digit, counted in R2, R3: the root ends with fifteen digits (LAST,
; selected, has character 14) or fourteen decimals (R2, R3 at 0, below).
sqrtdigits:
        ldm 14
        xch R9
        src P4
        rdm
        jcn nz, sq_end
; One digit: T = 20 Q, two of the argument's digits into r, then the odd
; numbers come off. The scan runs once a digit, as in a long division.
sq_dig: jms scan                ; keys typed meanwhile are kept; R12 = 0
        fim P4, WORK << 4
        jms shiftup             ; T = 2 Q times ten
        fim P2, 0xE0            ; R4: two digits to feed; R5 = 0, the digit
sq_feed:
        fim P4, ENTRY << 4
        jms shiftup             ; the argument's top digit leaves into R12
        fim P4, LINE << 4
        jms shiftup             ; r times ten plus it; r's top digit into R12,
        isz R4, sq_feed         ; the seventeenth digit after the second
        fim P3, WORK << 4
sq_try: fim P4, LINE << 4
        clc                     ; with the carry clear the subtraction takes
        jms s16_lp              ; one more: r - T - 1
        jcn c, sq_ok
        xch R12                 ; a borrow: taken from the seventeenth digit
        jcn z, sq_back          ; if it is 1 (s16_lp leaves 0 in the accumulator)
sq_ok:  inc R5
        fim P4, WORK << 4
        jms inc16
        jms inc16               ; T + 2: the next odd number is T + 1
        jun sq_try
sq_back:
        stc
        jms a16_lp              ; T + 1 back onto r
        ld R5
        xch R12
        fim P4, LAST << 4
        jms shiftup             ; the digit joins the root (R12 = 0 again)
        isz R3, sqrtdigits
        isz R2, sqrtdigits      ; fourteen decimals
sq_end: ld R3                   ; R2, R3 = decimals - 14 (-14 to 0), so the
        dac                     ; decimals are R3 - 2: 0 for 2, ..., 14 for 0
        dac
        xch R3
        fim P3, LAST << 4
        fim P4, LINE << 4
        clc
        jms s16_lp              ; r - Q - 1: no borrow when r > Q
        ldm 0
        rar
        xch R12                 ; R12 = 8 or 0, the digit after the last for
                                ; "5/4"; the accumulator 0: a positive root
        jun sg_last             ; (muldiv.asm) its sign, decimals, the digit
