; Every kind of flowchart box and mark: fetch code before the first box, a
; dispatching key wait, an entry code inside a routine, both tags, a @next
; written after the label and a table with named entries.
        org 0x300
fetch:  fin P1
        bbl 0
        fin P2
        bbl 0
; @box Wait
; @next r_a, r_b2
main:   db 0xF1
; @box A
; @next main, r_b, r_a
r_a:    db 0x10, 0xF3, 0x11
        db 0x12                 ; @skip
; @box B
r_b:    db 0x20
r_b2:   db 0x21, 0x22           ; @entry
; @next main
        org 0x3F0
; @box Table
table:  db r_a & 0xFF, r_b & 0xFF, r_b2 & 0xFF    ; one two
        db 0x05                 ; a comment that is not a list of names
