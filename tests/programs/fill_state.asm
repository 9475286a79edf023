; Leaves something in every part of the board that reset clears: both RAMs'
; main and status characters and ports, ROM 0's port, every index register,
; the carry, a full call stack and a RAM bank other than bank 0.
        org 0x000
        fim P0, 0x4A        ; RAM 1, register 0, character 10
        src P0
        ldm 7
        wrm
        wr0
        wr3
        wmp                 ; lamps M, OVF and NEG
        fim P1, 0x0B        ; RAM 0, register 0, character 11; ROM 0's port
        src P1
        ldm 0xB
        wrm
        wr2
        wmp                 ; RibbonRed, HammerFire and PaperAdvance
        ldm 3
        wrr                 ; KeyShiftClock and ShiftData
        fim P2, 0x5C
        fim P3, 0x9E
        fim P4, 0x11
        fim P5, 0x22
        fim P6, 0x33
        fim P7, 0x44
        stc
        jms one

        org 0x040
one:    jms two

        org 0x050
two:    jms three

        org 0x060
three:  ldm 0xE
        dcl                 ; banks 2 and 3
done:   jun done
