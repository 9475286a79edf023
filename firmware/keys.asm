; The key scan. ROM 0's port drives the keyboard shift register (line 0 its
; clock, line 1 the data it takes); its ten outputs are the keyboard columns,
; and a column is read when its line is the lowest one at 0. ROM 1's port
; reads back the four rows of that column.
;
; One pass walks a 0 through the ten columns: a 0 is shifted into column 0,
; then a 1 before each further column, so the 0 moves up one column a shift.
; Columns 0-7 are keys; the first column with exactly one key down gives the
; key (column, row). Columns 8 and 9 are the switches, kept in status
; characters 0 and 3 of KEYS.
;
; A key is taken once per press: it goes into the buffer only when it differs
; from the last key taken (R10, R11), and a pass with no key down forgets the
; last key (R10 = 0), so the same key can be taken again after it was
; released. The buffer holds eight keys in order in the characters of KEYS,
; the oldest in characters 0 and 1, each as the two nibbles of its key-table
; address in page 3: row + 12 and column + 8; status character 2 counts
; them, so the next one goes to character 2 x count. The key wait takes the
; oldest by shifting the buffer down two characters (key.asm).
;
; Registers: R10, R11 belong to the scan and keep the last key between calls;
; R12-R15 are its scratch (R12 is left 0). It calls nothing, so it can run at
; depth 3. About 110 instruction cycles a pass, 170 when it takes a key.

scan:   fim P6, 0x08            ; R12 = 0: ROM 0's port; R13 = 8..15 for columns 0..7
        fim P7, KEYS << 4       ; R14: ROM 1's port (the rows) and the key buffer
        src P7
        rd2                     ; keys waiting
        ral
        jcn c, sc_x             ; eight: the buffer is full, and no column is
                                ; walked, so a key held down waits on the
                                ; keyboard until there is room for it
        src P6
        ldm 0
        wrr                     ; data 0, both shift clocks low
        ldm 1
        wrr                     ; the keyboard clock rises: column 0 is selected
sc_col: src P7
        rdr                     ; the rows of the selected column
        jcn nz, sc_hit
sc_nxt: src P6
        ldm 2
        wrr                     ; data 1, clock low
        ldm 3
        wrr                     ; clock rises: the 0 moves to the next column
        isz R13, sc_col
        ldm 0                   ; no key down: the last key is released
        xch R10
        jun sc_sw

sc_hit: kbp                     ; one row: 1, 2, 3 or 4; two keys in a column: 15
        xch R15
        ldm 11
        clc
        add R15
        jcn c, sc_skp           ; two keys at once: neither is taken
        xch R15                 ; R15 = row + 12
        ld R13
        clc
        sub R10
        jcn nz, sc_new          ; another column than the last key's
        ld R15
        clc
        sub R11
        jcn z, sc_skp           ; the same key, still held: taken once only
sc_new: ld R13
        xch R10                 ; this key is now the last key taken
        src P7
        rd2
        clc
        ral
        xch R15                 ; R15 = 2 x keys waiting: the free slot;
        src P7                  ; the accumulator: the key's row + 12
        wrm
        xch R11
        inc R15
        src P7
        ld R10
        wrm                     ; and column + 8
        rd2
        iac
        wr2
sc_skp: src P6                  ; the columns after the key are not read
        ldm 2
        wrr
        ldm 3
        wrr
        isz R13, sc_skp

sc_sw:  src P7                  ; column 8 is selected now
        rdr                     ; the decimal-point switch's value
        wr0                     ; kept in KEYS
        src P6
        ldm 2
        wrr
        ldm 3
        wrr                     ; column 9
        src P7
        rdr                     ; the rounding switch: row 0 "/N", row 3 "5/4"
        wr3
sc_x:   bbl 0
