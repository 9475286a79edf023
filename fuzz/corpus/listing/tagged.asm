        org 0x304
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
; @box Table
        org 0x3C8
table:
        ; row 0: K1 K2 (none) K4
        db r_a & 0xFF, 1, 2, 3
        org 0x3D8
        db 4, 5                 ; K5 K6
