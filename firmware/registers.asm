; Names shared by every file of the firmware.
;
; RAM registers, as the first SRC nibble selects them: 0-3 are RAM 0's
; registers 0-3, 4-7 are RAM 1's registers 0-3. RAM 0's output port drives
; the printer, RAM 1's the lamps; the SRC that reaches RAM 0 register 0 also
; selects ROM 0's port (the shift registers), register 1 ROM 1's port (the
; key rows) and register 2 ROM 2's port (the drum index).
LINE    equ 0   ; the line being printed; chars 0-15 are columns 17 down to 2
KEYS    equ 1   ; the key buffer: eight (row, column) pairs, the oldest first
ENTRY   equ 2   ; the number being typed
TOTAL   equ 3   ; the adding machine's total
LAST    equ 4   ; the last entry taken, or the last result
MEM     equ 5   ; the memory
WORK    equ 6   ; the second operand of an addition; the upper half of a product
PEND    equ 7   ; the number that a pending "X" or "/" keeps

; Status characters of a number register (ENTRY, TOTAL, LAST, MEM, WORK,
; PEND):
; 0: ENTRY: a point was typed; TOTAL: 2 once overflowed (until "C"); LAST: it is a
;    result; PEND: the pending operation (0 none, 1 "X", 2 "/")
; 1: decimals: digits right of the point, 0 to 14
; 2: ENTRY: a number is being typed
; 3: sign, 1 for negative
; Status characters of LINE: 0 left symbol's drum sector, 1 right symbol's
; (15: none), 2 red ribbon (3 keeps the printed number's sign, unused). Of
; KEYS: 0 the decimal-point switch's value, 2 keys waiting, 3 the rounding
; switch's rows (1 "/N", 8 "5/4", 0 "FL"). LINE holds the remainder while a
; square root is made.

; Line characters: a digit 0-9 is struck in that digit's sector; POINT in
; the "." sector; BLANK matches no sector.
POINT   equ 10
BLANK   equ 15

; Drum sectors of the symbols the calculator prints.
S_SUB   equ 0   ; "<>" left
S_PLUS  equ 1   ; "+ " left, "* " right
S_MINUS equ 2   ; "- " left
S_TIMES equ 3   ; "X " left
S_DIV   equ 4   ; "/ " left
S_MPLUS equ 5   ; "M+" left
S_MMIN  equ 6   ; "M-" left
S_EQ    equ 8   ; "= " left
S_SQ    equ 9   ; "SQ" left, "E " right
S_E     equ 9
S_PCT   equ 10  ; "% " left
S_C     equ 11  ; "C " left and right
S_R     equ 12  ; "R " left, "M " right
S_M     equ 12
S_NONE  equ 15
