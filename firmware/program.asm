; The calculator's program, in the operations that interp.asm runs. The
; first four words are the interpreter's fetches.
;
; The flowchart pictures are drawn from this file: "; @box TITLE" before a
; label starts a box for the code from that label to the next box, and
; "; @next LABEL, ..." draws arrows from it to the boxes those labels start.

fetch:  fin P1                  ; 0x300: the operation at P0
        bbl 0
fetchoperand:
        fin P2                  ; 0x302: the operand at P0
        bbl 0

KEY     equ op_key & 0xFF
END     equ op_end & 0xFF
DIG     equ op_dig & 0xFF
POINTK  equ op_point & 0xFF
TAKE    equ op_take & 0xFF
CLRE    equ op_clre & 0xFF
CLRT    equ op_clrt & 0xFF
PRNE    equ op_prne & 0xFF
PRNT    equ op_prnt & 0xFF
PRNX    equ op_prnx & 0xFF
ADDS    equ op_adds & 0xFF

; The key wait. The key's routine starts at the address that the key table
; gives for it.
; @box Wait for a key
; @next k_digit, k_point, k_plus, k_minus, k_subtotal, k_total, k_clearentry, k_clear, k_none
main:   db KEY

; @box Digit: joins the entry
; @next main
k_digit:
k_0:    db DIG, 0, END
k_1:    db DIG, 1, END
k_2:    db DIG, 2, END
k_3:    db DIG, 3, END
k_4:    db DIG, 4, END
k_5:    db DIG, 5, END
k_6:    db DIG, 6, END
k_7:    db DIG, 7, END
k_8:    db DIG, 8, END
k_9:    db DIG, 9, END
k_00:   db DIG, 0, DIG, 0, END
; @box Point: decimals follow
; @next main
k_point:
        db POINTK, END

; "+" and "-": the entry (or the last one again) is printed, then added to or
; subtracted from the total.
; @box "+": print the entry, add it
; @next main, k_overflow
k_plus: db TAKE, PRNE, (S_PLUS << 4) | S_NONE, ADDS, 0, END
; @box "-": print the entry, subtract it
; @next main, k_overflow
k_minus:
        db TAKE, PRNE, (S_MINUS << 4) | S_NONE, ADDS, 1, END

; "<>": the total so far, kept.
; @box "<>": print the total, keep it
; @next main
k_subtotal:
        db PRNT, (S_SUB << 4) | S_NONE, END

; "=": the total, marked "*" on the right, and a new total begins.
; @box "=": print the total, clear it
; @next main
k_total:
        db PRNT, (S_EQ << 4) | S_PLUS, CLRT, END

; "CE" clears the entry; "C" clears everything and says so on the paper.
; @box "CE": clear the entry
; @next main
k_clearentry:
        db CLRE, END
; @box "C": clear all, print "C"
; @next main
k_clear:
        db CLRE, CLRT, PRNX, (S_NONE << 4) | S_C, END

; A total too large for fifteen digits: "E" on the right; the adding machine
; takes only "C" from now on.
; @box Overflow: print "E"
; @next main
k_overflow:
        db PRNX, (S_NONE << 4) | S_E, END

; Keys that this firmware does not handle yet.
; @box Keys not built
; @next main
k_none: db END

; The key table: the routine of each key, by column * 4 + row.
        org 0x3E0
; @box Key table
keytable:
        db k_none & 0xFF, k_none & 0xFF, k_none & 0xFF, k_none & 0xFF               ; CM RM M- M+
        db k_none & 0xFF, k_none & 0xFF, k_none & 0xFF, k_none & 0xFF               ; SQRT % M-= M+=
        db k_subtotal & 0xFF, k_none & 0xFF, k_none & 0xFF, k_total & 0xFF          ; <> / X =
        db k_minus & 0xFF, k_plus & 0xFF, k_none & 0xFF, k_none & 0xFF              ; - +
        db k_9 & 0xFF, k_6 & 0xFF, k_3 & 0xFF, k_point & 0xFF                       ; 9 6 3 .
        db k_8 & 0xFF, k_5 & 0xFF, k_2 & 0xFF, k_00 & 0xFF                          ; 8 5 2 00
        db k_7 & 0xFF, k_4 & 0xFF, k_1 & 0xFF, k_0 & 0xFF                           ; 7 4 1 0
        db k_none & 0xFF, k_none & 0xFF, k_clearentry & 0xFF, k_clear & 0xFF        ; S Ex CE C
