; The pending operation.

; CALC: carries out the pending "X" or "/", if there is one. It lies just
; before mul, into which "X" goes on.
calc:   fim P4, PEND << 4
        src P4
        rd0
        jcn z, rs_loop          ; nothing pending
        xch R6
        rd2                     ; "%": 2
        cma
        xch R4                  ; R4: 13 for "%", else 15
        ldm 0
        wr0                     ; done with it
        wr2
        fim P4, WORK << 4       ; the product's upper half; the division
        jms clear               ; leaves it 0
        fim P4, LAST << 4       ; the product's lower half, or the quotient
        jms clear
        ld R6
        rar
        jcn nc, div             ; "/"; "X" goes on into mul
