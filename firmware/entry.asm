; Number entry: taking the entry (after fix, for want of room beside the
; other operations' code; beginning a new one is in interp.asm).

; A typed entry becomes the last entry, LAST; with none typed, LAST (the
; last entry or result) is taken again. The entry stays typed until the
; number is printed (PRNE) or cleared ("Ex").
take:   fim P3, ENTRY << 4
        src P3
        rd2
        jcn z, tk_x
        fim P4, LAST << 4
        jms copy                ; (which leaves LAST selected and 0 in the
        wr0                     ; accumulator): an entry, not a result
tk_x:   bbl 0
