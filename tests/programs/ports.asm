; Lights the M and NEG lamps, raises HammerFire and PaperAdvance, and shifts
; one bit into the printer's hammer chain through ROM 0's port.
        org 0x000
        fim P0, 0x40        ; RAM 1
        src P0
        ldm 5
        wmp
        fim P1, 0x00        ; RAM 0 and ROM 0
        src P1
        ldm 0xA
        wmp
        wrr                 ; data 1, clocks low
        ldm 0xE
        wrr                 ; printer clock rises with data 1
        ldm 0xA
        wrr                 ; printer clock falls
done:   jun done
