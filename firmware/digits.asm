; A routine on numbers (arith.asm has the others), in page 4 for want of
; room in page 2.

; Accumulator 0 when P4's digits are all 0.
iszero: ldm 0
        xch R9
iz_lp:  src P4
        rdm
        jcn nz, iz_no
        isz R9, iz_lp
        bbl 0
iz_no:  bbl 1
