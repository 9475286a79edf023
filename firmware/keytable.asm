; The key table, in page 3 between the program's pieces: a key's entry is at
; 0x3C0 + (row + 12 - 12) * 16 + column + 8, the two nibbles that the key
; scan keeps for it. A digit key's entry is its digit; every other entry is
; the address of the key's routine (0x310 and above).
; @box Key table
        org 0x3C8
keytable:
        ; row 0: CM SQRT <> - 9 8 7 S
        db k_clearmem & 0xFF, k_none & 0xFF, k_subtotal & 0xFF, k_minus & 0xFF, 9, 8, 7, k_none & 0xFF
        org 0x3D8
        ; row 1: RM % / + 6 5 4 Ex
        db k_recall & 0xFF, k_percent & 0xFF, k_divide & 0xFF, k_plus & 0xFF, 6, 5, 4, k_none & 0xFF
        org 0x3E8
        ; row 2: M- M-= X (none) 3 2 1 CE
        db k_mminus & 0xFF, k_none & 0xFF, k_times & 0xFF, k_none & 0xFF, 3, 2, 1, k_clearentry & 0xFF
        org 0x3F8
        ; row 3: M+ M+= = (none) . 00 0 C
        db k_mplus & 0xFF, k_none & 0xFF, k_total & 0xFF, k_none & 0xFF, k_point & 0xFF, k_00 & 0xFF, 0, k_clear & 0xFF
