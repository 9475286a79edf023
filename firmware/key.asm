; The key wait: the KEY operation.

; KEY: scans until a key waits in the buffer, takes the oldest, and goes to
; its routine through the key table: P0 = the key's table address. An entry
; below 0x10 is a digit, which joins the entry at once. After an overflow
; only "C" is taken.
key:    jms scan
        fim P4, KEYS << 4
        src P4
        rd2                     ; keys waiting
        jcn z, key
        dac
        wr2
        jms shiftdown           ; the buffer moves down a slot: characters
                                ; 0 and 1, the oldest key, leave through R12
        ld R12
        xch R0                  ; its row + 12
        jms shiftdown
        ld R12
        xch R1                  ; its column + 8
        jms operand             ; P2 = the routine, or the digit; P0 moves
                                ; past the cell, to 0x00 only from "C", the
                                ; table's last cell (row 3 + 12, column 7 + 8)
        fim P1, TOTAL << 4
        src P1
        rd0                     ; overflowed:
        jcn z, ky_go
        ld R0                   ; only "C" is taken
        jcn nz, key
ky_go:  ld R4
        jcn nz, ky_run
        fim P0, k_digit & 0xFF
        jun digit
ky_run: xch R0                 ; (the accumulator still holds R4)
        ld R5
        xch R1
        jun loop
