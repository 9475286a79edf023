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

loop:   jms fetch               ; P1 = the operation at P0
        isz R1, lp_run
        inc R0
lp_run: jin P1                  ; to its code in this page

; The operand byte of a two-byte operation, into P2. Depth 1 (calls depth 2).
operand:
        jms fetchoperand
        isz R1, od_ret
        inc R0
od_ret: bbl 0

; END: the key's work is done; the lamps show the total, and the program goes
; back to its key wait. RAM 1's port: line 0 "M", line 1 "OVF", line 2 "NEG".
op_end: fim P2, TOTAL << 4
        src P2
        rd3                     ; the total's sign: NEG
        clc
        ral
        xch R6
        rd0                     ; the total overflowed: OVF
        add R6
        ral
        fim P2, 0x40            ; RAM 1's port
        src P2
        wmp
        fim P0, main & 0xFF
        jun loop

; DIG d: the digit d joins the entry on the right. The first digit of a new
; entry clears it. A digit that would make a sixteenth, or a fifteenth
; decimal (which, with the 0 before the point, would not print), is ignored.
op_dig: jms operand             ; R5 = the digit
        fim P4, ENTRY << 4
        jms begin
        fim P4, (ENTRY << 4) | 14
        src P4
        rdm
        jcn nz, dg_x            ; fifteen digits already
        rd1
        iac
        iac
        jcn c, dg_x             ; fourteen decimals already
        ld R5
        xch R12
        jms shiftup
        src P4
        rd0
        jcn z, dg_x             ; no point: a whole digit
        rd1
        iac
        wr1                     ; one more decimal
dg_x:   jun loop

; POINT: the digits that follow are decimals; a second point changes nothing.
op_point:
        fim P4, ENTRY << 4
        jms begin
        src P4
        ldm 1
        wr0
        jun loop

; TAKE: a typed entry becomes the last entry; with none typed, the last entry
; is taken again. Either way the entry is then no longer being typed.
op_take:
        fim P4, ENTRY << 4
        src P4
        rd2
        jcn z, tk_again
        ldm 0
        wr2
        fim P3, ENTRY << 4
        fim P4, LAST << 4
        jms copy
        jun loop
tk_again:
        fim P3, LAST << 4
        jms copy                ; P4 is the entry
        jun loop

; CLRE, CLRT: clear the entry, or the total with its overflow.
op_clre:
        fim P4, ENTRY << 4
        jms clear
        jun loop
op_clrt:
        fim P4, TOTAL << 4
        jms clear
        jun loop

; PRNE s, PRNT s, PRNX s: print the entry as typed, the total, or no number,
; with the symbols of the operand: left symbol's sector in its high nibble,
; right symbol's in its low nibble (15: none).
op_prne:
        ldm ENTRY
        jun prn
op_prnt:
        ldm TOTAL
        jun prn
op_prnx:
        ldm BLANK
prn:    xch R8
        jms operand
        ld R8
        iac
        jcn z, pn_blank
        jms format
        jun pn_sym
pn_blank:
        jms blankline
pn_sym: fim P1, LINE << 4
        src P1
        ld R4
        wr0
        ld R5
        wr1
        jms print
        jun loop

; ADDS 0 adds the entry to the total, ADDS 1 subtracts it.
op_adds:
        jun adds

; KEY: waits for a key, scanning, and goes to its routine through the key
; table of the program (which the fetch at 0x302 reads). After an overflow
; only "C" is taken.
        org 0x1F1
op_key: jun key
