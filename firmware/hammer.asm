; The printer's hammer bits (print.asm), in page 3 for want of room in page 0.

; Shifts one hammer bit into the chain: 1 when the character in the
; accumulator is the one sector R4 strikes. The port must be selected.
hammer: clc
        sub R4                  ; 0 when it is struck in this sector
        dac                     ; carry: it is not 0
        cmc
        ldm 0
        ral
        ral                     ; the bit on the data line, clocks low
        wrr
        add R6                  ; the printer clock rises: the bit goes in
        wrr
        bbl 0
