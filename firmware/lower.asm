; A routine on numbers (arith.asm has the others), in page 1 after the KEY
; operation's fixed place, for want of room in page 2.

; One decimal fewer for P4: its lowest digit is cut off (left in R12), and
; its status character 2 cleared.
lower:  ldm 0
        xch R12
        jms shiftdown           ; (which leaves P4 selected and 0 in the
        wr2                     ; accumulator): a result's first digit cut off
                                ; is no longer the digit after its last: a
                                ; trimmed 1.5000|5 must not round to 1.6
        rd1
        dac
        wr1
        bbl 0
