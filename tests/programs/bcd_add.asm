; Adds the decimal numbers 38 and 47, held as BCD digit pairs, in a
; subroutine that corrects each digit with DAA: R4R5 ends up as 85.
        org 0x000
        fim P0, 0x38        ; first addend: R0 = 3, R1 = 8
        fim P1, 0x47        ; second addend: R2 = 4, R3 = 7
        jms add
done:   jun done            ; park here once the sum is in R4R5

        org 0x010
add:    clc
        ld R1               ; units: R1 + R3, decimal corrected, to R5
        add R3
        daa
        xch R5
        ld R0               ; tens: R0 + R2 + the units' carry, to R4
        add R2
        daa
        xch R4
        bbl 1
