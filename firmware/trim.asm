; Trailing zeros (arith.asm has the other routines on numbers; this one
; lives in page 3 for want of room in page 2).

; Trailing zeros of P4's decimals go; a zero has no sign.
trim:   ldm 0
        xch R9
        src P4
        rd1
        jcn z, tr_zero
        rdm
        jcn nz, tr_zero
        jms lower
        jun trim
tr_zero:
        jms iszero              ; (which leaves P4 selected)
        jcn nz, tr_x
        wr3
tr_x:   bbl 0
