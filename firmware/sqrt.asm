; SQRT: the square root, digit by digit, as it is done by hand.
;
; The argument's digits are taken two at a time from the top, pairs meeting
; at the point. For each pair the remainder r is multiplied by a hundred and
; the pair added; with the root so far Q and T = 20 Q, the next digit d is how
; many of the odd numbers T + 1, T + 3, T + 5, ... come off r, since their sum
; is (20 Q + d) d, what the digit adds to the square. T then stands at
; 20 Q + 2 d = 2 (10 Q + d), twice the new root, ready for the next pair.
;
; Registers: ENTRY the argument (the number just printed), shifted out at
; the top; LINE the remainder r, whose seventeenth digit (0 or 1, when the
; fifteenth digit of a root is made) is R12; WORK T; LAST the root, as a
; whole number. The program has cleared LINE, WORK and LAST. R2, R3 count
; the digits: the root's decimals - 14, as one byte, so that fourteen
; decimals end the root at 0; fifteen digits end it sooner. The digit after
; the last tells "5/4" how to round: it is 5 or more when r > Q (100 r is
; then at least (20 Q + 5) 5). The root becomes the result in LAST, as a
; product does (sign, result), and a pending "X" or "/" stays pending.
;
; Here the argument is checked and set up; sqrtloop.asm makes the digits.
; Depth 0 (SQRT's code jumps here); it calls routines at depth 1 and 2.
sqrt:   fim P4, ENTRY << 4
        src P4
        rd3
        jcn nz, overflow        ; a negative number has no root: "E"
        rd1
        rar                     ; carry: an odd number of decimals
        jcn nc, sq_even
        ldm 15
        xch R9
        jms rs9                 ; one more decimal, so that the pairs meet at
                                ; the point (character 15 takes the sixteenth
                                ; digit of a fifteen-digit argument)
sq_even:                        ; (the carry is clear either way)
        fim P1, 0xEA            ; the root's decimals - 14 before its first
        rd1                     ; digit: (decimals / 2 - 8) - 14, so R2, R3 =
        rar                     ; 0xEA + decimals / 2
        add R3
        xch R3
        tcc                     ; 6 or 7 (twelve or fourteen decimals) carry
        add R2                  ; into R2
        xch R2
        jun sq_dig              ; (sqrtloop.asm)
