; The Tallivo 141DU's firmware: a printing calculator.
;
; The calculator's logic is a small program of one- and two-byte operations
; in ROM page 3 (program.asm); the 4004 code in the other pages runs it
; (interp.asm) and does the work of each operation: the key scan (keys.asm),
; the printer (print.asm), number entry (entry.asm), the printed form of a
; number (format.asm, fix.asm) and decimal arithmetic (arith.asm, adds.asm,
; muldiv.asm). firmware/README.md has the memory map, the routine map and
; the timing budget.
;
; Call depth: the 4004 keeps three return addresses. An operation's code runs
; at depth 0 (entered by JIN, left by JUN loop); the routines it calls run at
; depth 1 and may call two more levels, as the printer does (print ->
; nextsector -> scan).
;
; The pages are filled to the byte: every routine stays within one page, as
; the 4004's short jumps need, and the assembler refuses code that overlaps.

        include "registers.asm"

        org 0x000
; Power-on: every register and RAM character is 0, which is where the
; program starts: no key taken (R10 = 0), the key buffer empty, the numbers 0.
; END sets the lamps (all dark) and starts the program at its key wait.
reset:  jun op_end

        include "keys.asm"
        include "format.asm"            ; which goes on into print
        include "print.asm"
        include "sqrtloop.asm"

        org 0x100
        include "interp.asm"
        include "fix.asm"
        include "entry.asm"

; KEY: waits for a key and goes to its routine (key.asm). Its byte, 0xF1, is
; one of the codes after which the flowchart window marks the next step as
; an entry, so each key's routine lights as entered.
        org 0x1F1
op_key: jun key
        include "lower.asm"

        org 0x200
        include "arith.asm"
        include "adds.asm"
        include "sqrt.asm"

        org 0x300
        include "program.asm"
        include "trim.asm"
        include "key.asm"
        include "hammer.asm"
        include "keytable.asm"

        org 0x400
        include "calc.asm"
        include "muldiv.asm"
        include "digits.asm"
        include "countdown.asm"
