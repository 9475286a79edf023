; The key table written in rows between other boxes, with 4004 code in page 3
; that the flowchart window never records.
        org 0x304
; @box Wait
; @next r_a
main:   db 0xF1
; @box Table
        org 0x3C8
table:
        ; row 0: K1 K2 (none) K4
        db r_a & 0xFF, 1, 2, 3
        org 0x3D0
; @box A
; @next main
r_a:    db 0x10, 0x11
code:   ldm 5
        bbl 0
        db 0x12
        org 0x3D8
        ; row 1: K5 K6
        db 4, 5
