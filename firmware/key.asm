; The key wait: the KEY operation.

; KEY: scans until a key waits in the buffer, takes the oldest, and goes to
; its routine through the key table: P0 = the key's table address. An entry
; below 0x10 is a digit, which joins the entry at once. After an overflow
; only "C" (the table's last entry) is taken.
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
        xch R0
        inc R3
        src P1
        rdm
        xch R1
        inc R3
        ld R3
        wr1                     ; the next key's slot
        fim P1, TOTAL << 4
        src P1
        rd0
        jcn z, ky_go
        ld R0                   ; "C" is row 3 + 12, column 7 + 8: 15 and
        clc                     ; 15, the only key whose nibbles add up to
        add R1                  ; 30 (14 and a carry)
        iac
        iac
        jcn nz, key
ky_go:  jms operand             ; P2 = the routine, or the digit
        ld R4
        jcn nz, ky_run
        fim P0, k_digit & 0xFF
        jun digit
ky_run: xch R0                 ; (the accumulator still holds R4)
        ld R5
        xch R1
        jun loop
