; The calculator's program, in the operations that interp.asm runs. The
; first seven words are the interpreter's fetches.
;
; The flowchart pictures are drawn from this file: "; @box TITLE" before a
; label starts a box for the code from that label to the next box, and
; "; @next LABEL, ..." draws arrows from it to the boxes those labels start.

fetch:  fin P1                  ; 0x300: the operation at P0
        bbl 0
; The operand byte of a two-byte operation, into P2, and P0 past it (the
; key wait fetches a key's table entry with it too: it sets P0 afterwards).
; Depth 1.
operand:
        fin P2                  ; 0x302: the operand at P0
od_next:
        isz R1, od_ret          ; (the loop steps P0 past an operation here)
        inc R0
od_ret: bbl 0

KEY     equ op_key & 0xFF
END     equ op_end & 0xFF
DIG     equ op_dig & 0xFF
POINTK  equ op_point & 0xFF
CLR     equ op_clr & 0xFF
COPY    equ op_copy & 0xFF
JOP     equ op_jop & 0xFF
SETOP   equ op_setop & 0xFF
CALC    equ op_calc & 0xFF
PCT     equ op_pct & 0xFF
SIGN    equ op_sign & 0xFF
SQRT    equ op_sqrt & 0xFF
PRNE    equ op_prne & 0xFF
PRNT    equ op_prnt & 0xFF
PRNX    equ op_prnx & 0xFF
ADDS    equ op_adds & 0xFF

; A number too large for fifteen digits, or a division by 0: "E" on the
; right; the calculator takes only "C" from now on.
; @box Overflow: print "E"
; @next main
k_overflow:
        db PRNX, (S_NONE << 4) | S_E, END

; @box "=": the result of "X" or "/"
; @next main, k_overflow
k_result:
        db PRNE, (S_EQ << 4) | S_NONE, CALC, PRNE, (S_NONE << 4) | S_PLUS, END

; The routines below are reached through the key table, whose entries below
; 0x10 are digits.
        org 0x310

; "+" and "-": the entry (or the last one, or the last result, again) is
; printed, then added to or subtracted from the total.
; @box "+": print, add it
; @next main, k_overflow
k_plus: db PRNE, (S_PLUS << 4) | S_NONE, ADDS, TOTAL << 4, END
; @box "-": print, subtract it
; @next main, k_overflow
k_minus:
        db PRNE, (S_MINUS << 4) | S_NONE, ADDS, (TOTAL << 4) | 1, END

; "=": with an "X" or "/" pending, the operand and the result; otherwise the
; total, marked "*" on the right, and a new total begins.
; @box "=": print the total, clear it
; @next main, k_result
k_total:
        db JOP, k_result & 0xFF
        db PRNT, (S_EQ << 4) | S_PLUS, CLR, (TOTAL << 4) | TOTAL, END
; "M+=" and "M-=": "=" with the last line marked "M+" or "M-" instead of
; "*", and the number of that line then added to the memory or subtracted
; from it: the total, or with an "X" or "/" pending the operand and the
; result. An overflow of the memory prints "E" and leaves the memory as it
; was.
; @box "M+=": into the memory
; @next main, k_overflow
k_mplusequal:
        db JOP, mp_result & 0xFF
        db PRNT, (S_EQ << 4) | S_MPLUS, CLR, (TOTAL << 4) | TOTAL, ADDS, MEM << 4, END
mp_result:
        db PRNE, (S_EQ << 4) | S_NONE, CALC, PRNE, (S_NONE << 4) | S_MPLUS, ADDS, MEM << 4, END
; @box "M-=": out of the memory
; @next main, k_overflow
k_mminusequal:
        db JOP, mm_result & 0xFF
        db PRNT, (S_EQ << 4) | S_MMIN, CLR, (TOTAL << 4) | TOTAL, ADDS, (MEM << 4) | 1, END
mm_result:
        db PRNE, (S_EQ << 4) | S_NONE, CALC, PRNE, (S_NONE << 4) | S_MMIN, ADDS, (MEM << 4) | 1, END

; "/" (and "X", whose routine is in a gap of the key table): the entry, or
; the last result, is printed and kept for the operation, after carrying out
; one that was pending ("2 X 3 X 4 =" is 24).
; @box "/": print, keep it
; @next main, k_overflow
k_divide:
        db PRNE, (S_DIV << 4) | S_NONE, CALC, SETOP, 2, END

; "%": "a X b %" is a x b / 100, "a / b %" is a / b x 100, and "b %" alone
; is b / 100.
; @box "%": the per cent
; @next main, k_overflow
k_percent:
        db PRNE, (S_PCT << 4) | S_NONE, PCT, PRNE, (S_NONE << 4) | S_PLUS, END

; The memory: "M+" and "M-" add the entry or the last result to it, or
; subtract it; "RM" brings it back as the last number, which the next "+",
; "X", ... takes as it takes a printed entry; "CM" clears it.
; @box "M+": add to the memory
; @next main, k_overflow
k_mplus:
        db PRNE, (S_MPLUS << 4) | S_NONE, ADDS, MEM << 4, END
; @box "M-": out of the memory
; @next main, k_overflow
k_mminus:
        db PRNE, (S_MMIN << 4) | S_NONE, ADDS, (MEM << 4) | 1, END
; @box "RM": recall the memory
; @next main
k_recall:
        db CLR, (LAST << 4) | ENTRY, COPY, (MEM << 4) | LAST, PRNE, (S_R << 4) | S_M, END
; @box "CM": clear the memory
; @next main
k_clearmem:
        db CLR, (MEM << 4) | ENTRY, PRNX, (S_C << 4) | S_M, END

; "SQRT": the square root of the entry, or of the last number, printed with
; "SQ" and then as a result with "*"; a pending "X" or "/" stays pending. The
; root is made in LINE, WORK and LAST, cleared for it.
; @box "SQRT": the square root
; @next main, k_overflow
k_sqrt: db PRNE, (S_SQ << 4) | S_NONE, CLR, (LINE << 4) | WORK, CLR, (LAST << 4) | LAST
        db SQRT, PRNE, (S_NONE << 4) | S_PLUS, END

; "C" clears everything and says so on the paper.
; @box "C": clear all, print "C"
; @next main
k_clear:
        db CLR, (ENTRY << 4) | TOTAL, CLR, (PEND << 4) | LAST, PRNX, (S_NONE << 4) | S_C, END

; "Ex": with an "X" or "/" pending, the entry (or, with none typed, the last
; number) and the number kept for the operation change places ("3 / 1 2 Ex
; =" is 12 / 3); with nothing pending, nothing happens.
; @box "Ex": swap the numbers
; @next main
k_exchange:
        db JOP, ex_swap & 0xFF, END
ex_swap:
        db COPY, (LAST << 4) | ENTRY, COPY, (PEND << 4) | LAST, COPY, (ENTRY << 4) | PEND, END
