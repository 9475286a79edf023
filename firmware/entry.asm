; Number entry: taking the entry, beginning a new one.

; A typed entry becomes the last entry; with none typed, the last entry (or
; result) is taken again. Either way the entry is then no longer typed.
take:   fim P4, ENTRY << 4
        src P4
        rd2
        jcn z, tk_again
        ldm 0
        wr2
        fim P3, ENTRY << 4
        fim P4, LAST << 4
        jms copy
        src P4
        ldm 0
        wr0                     ; an entry, not a result
        bbl 0
tk_again:
        fim P3, LAST << 4
        jms copy                ; P4 is the entry
        bbl 0

; P4 = ENTRY: the first key of a new entry clears it and marks it as typed.
begin:  src P4
        rd2
        jcn nz, bg_x
        jms clear
        ldm 1
        wr2
bg_x:   bbl 0

