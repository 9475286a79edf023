; Two routines on numbers (arith.asm has the others), in page 1 for want
; of room in page 2.

; Accumulator 0 when P4's digits are all 0.
iszero: ldm 0
        xch R9
iz_lp:  src P4
        rdm
        jcn nz, iz_no
        isz R9, iz_lp
        bbl 0
iz_no:  bbl 1

; One decimal fewer for P4: its lowest digit is cut off (left in R12).
lower:  ldm 0
        xch R12
        jms shiftdown
        src P4
        rd1
        dac
        wr1
        bbl 0
