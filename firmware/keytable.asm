; The key table, in page 3 between the program's pieces: a key's entry is at
; 0x3C0 + (row + 12 - 12) * 16 + column + 8, the two nibbles that the key
; scan keeps for it. A digit key's entry is its digit; every other entry is
; the address of the key's routine (0x310 and above).
; @box Key table
        org 0x3C8
keytable:
        ; row 0: CM SQRT <> - 9 8 7 S
        db k_clearmem & 0xFF, k_none & 0xFF, k_subtotal & 0xFF, k_minus & 0xFF, 9, 8, 7, k_sign & 0xFF
; "S" changes the entry's sign; it fits in a gap between the table's rows.
        org 0x3D0
; @box "S": the entry's sign changes
; @next main
k_sign: db SIGN, END
; The operand byte of a two-byte operation, into P2: 4004 code of the
; interpreter (interp.asm), in the gap for want of room in page 1. Depth 1
; (calls depth 2).
operand:
        jms fetchoperand
        isz R1, od_ret
        inc R0
od_ret: bbl 0
        org 0x3D8
        ; row 1: RM % / + 6 5 4 Ex
        db k_recall & 0xFF, k_percent & 0xFF, k_divide & 0xFF, k_plus & 0xFF, 6, 5, 4, k_exchange & 0xFF
        org 0x3E0
; Small routines of the program, in the gaps between the table's rows.
; @box "00": two zeros join the entry
; @next main
k_00:   db DIG, 0, DIG, 0, END
; @box Point: decimals follow
; @next main
k_point:
        db POINTK, END

        org 0x3E8
        ; row 2: M- M-= X (none) 3 2 1 CE
        db k_mminus & 0xFF, k_none & 0xFF, k_times & 0xFF, k_none & 0xFF, 3, 2, 1, k_clearentry & 0xFF
        org 0x3F0
; "<>": the total so far, kept.
; @box "<>": print the total, keep it
; @next main
k_subtotal:
        db PRNT, (S_SUB << 4) | S_NONE, END

; "CE" clears the entry.
; @box "CE": clear the entry
; @next main
k_clearentry:
        db CLR, ENTRY, END
; Keys that this firmware does not handle.
; @box Keys not built
; @next main
k_none: db END
        org 0x3F8
        ; row 3: M+ M+= = (none) . 00 0 C
        db k_mplus & 0xFF, k_none & 0xFF, k_total & 0xFF, k_none & 0xFF, k_point & 0xFF, k_00 & 0xFF, 0, k_clear & 0xFF
