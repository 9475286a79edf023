; The key table, in page 3 between the program's pieces: a key's entry is at
; 0x3C0 + (row + 12 - 12) * 16 + column + 8, the two nibbles that the key
; scan keeps for it. A digit key's entry is its digit; every other entry is
; the address of the key's routine (0x310 and above).
; @box Key table
        org 0x3C8
keytable:
        ; row 0: CM SQRT <> - 9 8 7 S
        db k_clearmem & 0xFF, k_sqrt & 0xFF, k_subtotal & 0xFF, k_minus & 0xFF, 9, 8, 7, k_sign & 0xFF
; "S" changes the entry's sign; it fits in a gap between the table's rows.
        org 0x3D0
; @box "S": the sign changes
; @next main
k_sign: db SIGN, END
; "X" and "/": the entry (or the last result) is printed and kept for the
; operation, after carrying out one that was pending ("2 X 3 X 4 =" is 24).
; @box "X": print, keep it
; @next main, k_overflow
k_times:
        db PRNE, (S_TIMES << 4) | S_NONE, CALC, SETOP, 1, END
        org 0x3D8
        ; row 1: RM % / + 6 5 4 Ex
keyrow1: db k_recall & 0xFF, k_percent & 0xFF, k_divide & 0xFF, k_plus & 0xFF, 6, 5, 4, k_exchange & 0xFF
        org 0x3E0
; Small routines of the program, in the gaps between the table's rows.
; @box "00": two zeros
; @next main
k_00:   db DIG, 0, DIG, 0, END
; @box Point: decimals follow
; @next main
k_point:
        db POINTK, END

        org 0x3E8
        ; row 2: M- M-= X
keyrow2: db k_mminus & 0xFF, k_mminusequal & 0xFF, k_times & 0xFF
; No key sits in the fourth column of the two lower rows, so the scan never
; reads their cells; each holds a one-byte piece of the program instead.
; A digit key goes from the key table straight to the digit's work, which
; ends here.
; @box Digit: joins the entry
; @next main
k_digit:
        db END
        org 0x3EC
        ; row 2, after its missing key: 3 2 1 CE
keyrow2b: db 3, 2, 1, k_clearentry & 0xFF
        org 0x3F0
; "<>": the total so far, kept.
; @box "<>": the total, kept
; @next main
k_subtotal:
        db PRNT, (S_SUB << 4) | S_NONE, END

; "CE" clears the entry.
; @box "CE": clear the entry
; @next main
k_clearentry:
        db CLR, (ENTRY << 4) | ENTRY, END
        org 0x3F8
        ; row 3: M+ M+= =
keyrow3: db k_mplus & 0xFF, k_mplusequal & 0xFF, k_total & 0xFF
; The key wait: the program starts here, and every key's routine comes back
; here. The key's routine starts at the address that the key table gives
; for it.
; @box Wait for a key
; @next k_digit, k_00, k_point, k_plus, k_minus, k_subtotal, k_total, k_times, k_divide, k_percent, k_mplus, k_mminus, k_mplusequal, k_mminusequal, k_sqrt, k_recall, k_clearmem, k_sign, k_exchange, k_clearentry, k_clear
main:   db KEY
        org 0x3FC
        ; row 3, after its missing key: . 00 0 C
keyrow3b: db k_point & 0xFF, k_00 & 0xFF, 0, k_clear & 0xFF
