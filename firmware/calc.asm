; The pending operation.

; CALC: carries out the pending "X" or "/", if there is one.
calc:   fim P4, PEND << 4
        src P4
        rd0
        jcn z, cc_x             ; nothing pending
        xch R6
        ldm 0
        wr0                     ; done with it
        ld R6
        rar
        jcn nc, cc_div
        jun mul
cc_div: jun div
cc_x:   jun loop
