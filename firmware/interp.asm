; The interpreter of the page-3 program. P0 (R0, R1) is the program's
; instruction pointer, an address in page 3. An operation is one byte, the
; address in this page of the code that does it, sometimes followed by an
; operand byte.
;
; The fetch is the FIN at 0x300 and the operand fetch the FIN at 0x302: the
; flowchart window records the page-3 cycle that follows a cycle at 0x300 or
; 0x302, which is the fetch of the operation or its operand, so it follows
; the program step by step.
;
; P0 belongs to the interpreter; P1 holds the operation, P2 its operand.

; END: the key's work is done; the lamps are set, and the program goes back
; to its key wait. RAM 1's port: line 0 "M" (the memory is not 0), line 1
; "OVF" (overflowed), line 2 "NEG" (the total or the last result is
; negative).
op_end: fim P4, LAST << 4
        src P4
        rd0                     ; LAST is a result:
        jcn z, en_tot
        rd3                     ; its sign counts
en_tot: xch R7
        fim P4, TOTAL << 4
        src P4
        rd3
        clc
        add R7
        jcn z, en_pos
        ldm 4
en_pos: xch R7                  ; NEG (the carry is clear: the sum was 0 to 2)
        rd0                     ; 2 once overflowed: OVF
        add R7
        xch R7
        fim P4, MEM << 4
        jms iszero
        add R7                  ; M
        wmp                     ; RAM 1 is selected (iszero left MEM so)
        fim P0, main & 0xFF     ; and on into the loop, just below

loop:   jms fetch               ; P1 = the operation at P0
        jms od_next             ; P0 past it
        jin P1                  ; to its code in this page


; DIG d: the digit d joins the entry on the right (digit: R5 = d, the key
; wait comes here for a digit key). The first digit of a new
; entry clears it. A digit that would make a sixteenth, or a fifteenth
; decimal (which, with the 0 before the point, would not print), is ignored.
op_dig: jms operand             ; R5 = the digit
digit:  jms begin               ; (which leaves the entry selected)
        rd1
        iac
        iac
        jcn c, dg_x             ; fourteen decimals already
        jms raise               ; the entry times ten, a decimal more
        jcn nz, dg_x            ; fifteen digits already: no room
        src P4                  ; (raise left R9 at 0)
        ld R5
        wrm                     ; the digit on the right
        rd0
        jcn nz, dg_x            ; a point was typed: a decimal
        rd1
        dac
        wr1                     ; else not
dg_x:   jun loop

; The first key of a new entry clears it and marks it as typed. The entry
; is left selected (P4) for the status characters.
begin:  fim P4, ENTRY << 4
        src P4
        rd2
        jcn nz, bg_x
        jms clear
        ldm 1
        wr2
bg_x:   bbl 0

; POINT: the digits that follow are decimals; a second point changes nothing.
op_point:
        jms begin               ; (which leaves the entry selected)
        ldm 1
        wr0
        jun loop

; CLR r s: clears registers r and s, their status too (r r: one register).
op_clr: jms operand
        ld R4
        xch R8
        jms clear
        ld R5
        xch R8
        jms clear
        jun loop

; COPY s d: register d = register s (digits, decimals, sign), after taking
; a typed entry as PRNE does ("Ex" swaps the entry it takes; "RM" overwrites
; it).
op_copy:
        jms take
        jms operand
        ld R4
        xch R6
        ld R5
        xch R8
        jms copy
        jun loop

; JOP a: goes on at a when an "X" or "/" is pending.
op_jop: jms operand
        fim P1, PEND << 4
        src P1
        rd0
        jcn z, jo_x
        ld R4
        xch R0
        ld R5
        xch R1
jo_x:   jun loop

; SETOP n: the entry is kept for the pending operation n (1 "X", 2 "/").
op_setop:
        jms operand
        fim P3, ENTRY << 4
        fim P4, PEND << 4
        jms copy                ; (which leaves PEND selected)
        ld R5
        wr0
        jun loop

; PRNE s, PRNT s, PRNX s: print the entry (taken into LAST first, see take),
; the total, or no number, with the symbols of the operand: left symbol's
; sector in its high nibble, right symbol's in its low nibble (15: none).
; With the rounding switch at "/N" or "5/4" the number is first set to the
; decimal-point switch's decimals and kept so; a number that is 0 then loses
; its sign. The number printed becomes the entry, no longer typed, so digits
; typed after any printed line begin a new number.
op_prnx:
        jms operand
        fim P4, LINE << 4
        jms clear
        xch R15                 ; 0: all sixteen characters are blanked
        jun fm_all              ; (format.asm), then printed
op_prne:
        jms take
        ldm LAST
        db 0x2C                 ; FIM P6: takes the next byte, op_prnt's LDM,
                                ; as its data, so PRNE goes on to prn with
                                ; LAST (a byte less than a JUN; R12 and R13
                                ; are scratch)
op_prnt:
        ldm TOTAL
prn:    xch R8
        jms operand
        jms fix                 ; the switches' decimals, kept in the number;
                                ; a number cut to 0 prints black (tr_zero)
        ld R8
        xch R6
        fim P4, ENTRY << 4
        jms copy                ; the number printed is the entry now, not typed
        jun format              ; which prints it and goes back to the loop

; SIGN: "S", the entry changes its sign; a new entry begins as -0 and takes
; the digits that follow.
op_sign:
        jms begin               ; (which leaves the entry selected)
        jms flipsign
        jun loop

; ADDS r0 adds the entry to register r, ADDS r1 subtracts it.
op_adds:
        jun adds

; CALC carries out a pending "X" or "/".
op_calc:
        jun calc

; SQRT: the square root of the entry (sqrt.asm).
op_sqrt:
        jun sqrt

; PCT: "%". After "a X b", a x b / 100; after "a / b", a / b x 100; with
; nothing pending, the entry / 100, worked as 1 X entry. The pending
; operation's register carries the "%" in its status character 2, which
; makes the product two decimals longer, the quotient two shorter.
op_pct: fim P4, PEND << 4
        src P4
        rd0
        jcn nz, pc_go           ; "X" or "/" pending
        jms clear
        jms inc16               ; PEND = 1
        ldm 1
        wr0                     ; for "X"
pc_go:  ldm 2
        wr2
        jun calc
