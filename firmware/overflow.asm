; The overflow of a sum or a result.

; A result or a sum that does not fit: "E" is printed, "OVF" lights, and
; only "C" is taken from now on.
overflow:
        fim P4, TOTAL << 4
        src P4
        ldm 1
        wr0
        fim P0, k_overflow & 0xFF
        jun loop
