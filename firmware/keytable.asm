; The key table, in page 3 between the program's pieces: a key's entry is at
; 0x3C0 + (row + 12 - 12) * 16 + column + 8, the two nibbles that the key
; scan keeps for it. A digit key's entry is its digit; every other entry is
; the address of the key's routine (0x310 and above).
; @box Key table
        org 0x3C8
keytable:
        ; row 0: CM SQRT <> - 9 8 7 S
        db k_clearmem & 0xFF, k_none & 0xFF, k_subtotal & 0xFF, k_minus & 0xFF, 9, 8, 7, k_sign & 0xFF
; "S" changes the entry's sign; "Ex" exchanges the entry with the number
; that a pending "X" or "/" keeps ("3 / 1 2 Ex =" is 4). Both fit in the
; gaps between the table's rows.
        org 0x3D0
; @box "S": the entry's sign changes
; @next main
k_sign: db SIGN, END
        org 0x3D8
        ; row 1: RM % / + 6 5 4 Ex
        db k_recall & 0xFF, k_percent & 0xFF, k_divide & 0xFF, k_plus & 0xFF, 6, 5, 4, k_exchange & 0xFF
        org 0x3E0
; @box "Ex": the entry and the kept number change places
; @next main
k_exchange:
        db COPY, (ENTRY << 4) | WORK, COPY, (PEND << 4) | ENTRY, COPY, (WORK << 4) | PEND
        db TYPED, END
        org 0x3E8
        ; row 2: M- M-= X (none) 3 2 1 CE
        db k_mminus & 0xFF, k_none & 0xFF, k_times & 0xFF, k_none & 0xFF, 3, 2, 1, k_clearentry & 0xFF
        org 0x3F8
        ; row 3: M+ M+= = (none) . 00 0 C
        db k_mplus & 0xFF, k_none & 0xFF, k_total & 0xFF, k_none & 0xFF, k_point & 0xFF, k_00 & 0xFF, 0, k_clear & 0xFF
