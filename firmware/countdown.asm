; A counter of two nibbles, for the decimals of a division or a product
; (in page 4, beside them).

; R2, R3 = R2, R3 - 1.
countdown:
        ld R3
        dac
        xch R3
        jcn c, cd_x
        ld R2
        dac
        xch R2
cd_x:   bbl 0
