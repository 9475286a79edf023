; Scans the keyboard as a firmware does: it shifts 1 and 0 in turn into the
; keyboard register, so the selected column (the lowest one low) switches
; between 1 and 0, reads the rows through ROM 1 after each shift, and keeps
; the last non-zero reading in RAM 0, register 0, character 0.
        org 0x000
        fim P0, 0x00        ; ROM 0's port and RAM 0 register 0 character 0
        fim P1, 0x10        ; ROM 1's port: the key rows
loop:   src P0
        ldm 3               ; data 1, keyboard clock rises
        wrr
        ldm 2               ; keyboard clock falls
        wrr
        jms read
        src P0
        ldm 1               ; data 0, keyboard clock rises
        wrr
        ldm 0
        wrr
        jms read
        jun loop

        org 0x020
read:   src P1
        rdr
        jcn Z, none         ; no key held in this column
        src P0
        wrm
none:   bbl 0
