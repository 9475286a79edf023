; The Tallivo 141DU's firmware: a printing adding machine.
;
; The calculator's logic is a small program of one- and two-byte operations
; in ROM page 3 (program.asm); the 4004 code in the other pages runs it
; (interp.asm) and does the work of each operation: the key scan
; (keys.asm), the printer (print.asm), number entry and formatting
; (number.asm) and decimal arithmetic (arith.asm). firmware/README.md has the
; memory map, the routine map and the timing budget.
;
; Call depth: the 4004 keeps three return addresses. An operation's code runs
; at depth 0 (entered by JIN, left by JUN loop); the routines it calls run at
; depth 1 and may call one more level; only the printer goes to depth 3
; (print -> nextsector -> scan).

        include "registers.asm"

        org 0x000
; Power-on: every register and RAM character is 0. The key buffer is empty and
; the entry, total and last entry are all 0; only the last-key memory must say
; "no key".
reset:  fim P5, 0xF0            ; R10 = 15: no key was taken before
        fim P0, main & 0xFF     ; the program starts at its key wait
        jun loop

        include "keys.asm"
        include "print.asm"

        org 0x100
        include "interp.asm"

        org 0x200
        include "arith.asm"

        org 0x400
        include "number.asm"

        org 0x300
        include "program.asm"
