; Number entry and the printed form of a number, and the key wait.

; P4 = ENTRY: the first key of a new entry clears it and marks it as typed.
begin:  src P4
        rd2
        jcn nz, bg_x
        jms clear
        ldm 1
        wr2
bg_x:   bbl 0

; The number in register R8 as the printer shows it, into LINE: right-aligned
; (character 0 is column 17), the point in a column of its own when there
; are decimals, no leading zeros but the units digit. A negative number is
; marked for the red ribbon.
format: ldm 0
        xch R9
        src P4
        rd3
        xch R15                 ; the sign
        rd1
        xch R14                 ; the decimals
        fim P1, LINE << 4
        src P1
        ld R15
        wr2
fm_lp:  ld R14
        jcn z, fm_dig
        ld R3
        clc
        sub R14
        jcn nz, fm_dig
        ldm POINT               ; right of the decimals
        jun fm_put
fm_dig: src P4
        rdm
        inc R9
fm_put: src P1
        wrm
        isz R3, fm_lp
        ld R14                  ; the units digit: character 0, or above the point
        jcn z, fm_u
        iac
fm_u:   xch R15
        ldm 15
        xch R3
fm_bl:  ld R3                   ; zeros above the units digit are blanked
        clc
        sub R15
        jcn z, fm_x
        src P1
        rdm
        jcn nz, fm_x
        ldm BLANK
        wrm
        ld R3
        dac
        xch R3
        jun fm_bl
fm_x:   bbl 0

; LINE = no number at all.
blankline:
        fim P1, LINE << 4
bk_lp:  src P1
        ldm BLANK
        wrm
        isz R3, bk_lp
        ldm 0
        wr2
        bbl 0

; KEY: scans until a key waits in the buffer, takes the oldest, and goes to
; its routine: P0 = the key table's entry, column * 4 + row.
key:    jms scan
        fim P1, KEYS << 4
        src P1
        rd2                     ; keys waiting
        jcn z, key
        dac
        wr2
        rd1                     ; the oldest key's slot
        xch R3
        src P1
        rdm
        xch R6                  ; its column
        inc R3
        src P1
        rdm
        xch R7                  ; its row
        inc R3
        ld R3
        wr1
        ld R6
        clc
        ral
        ral                     ; column * 4, its bit 4 in carry
        xch R5
        tcc
        xch R4
        ld R5
        add R7
        xch R5                  ; R4, R5 = column * 4 + row
        fim P1, TOTAL << 4
        src P1
        rd0
        jcn z, ky_go
        ld R5                   ; overflowed: only "C" (31, the one ending in 15)
        iac
        jcn nz, key
ky_go:  ldm keytable >> 4 & 15
        clc
        add R4
        xch R0
        ld R5
        xch R1
        jms fetchoperand        ; P2 = the routine
        ld R4
        xch R0
        ld R5
        xch R1
        jun loop
