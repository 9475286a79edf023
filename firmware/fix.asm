; Fixed decimals, as the switches set them.

; With the rounding switch at "/N" or "5/4" the number in P4 is set to the
; decimals of the decimal-point switch: cut ("/N") or rounded half up
; ("5/4") when it has more, padded with zeros when it has fewer (as far as
; fifteen digits go). At "FL" it stays as it is.
;
; A result that was cut to fit fifteen digits keeps its first digit cut off
; in status character 2 (any other number has 0 there): when the number has
; no more decimals than wanted, "5/4" rounds from that digit, so 5000000 / 3
; at eight decimals is 1666666.66666667. The digit is used once.
;
; It ends in tr_zero, so that a number cut or rounded to 0 loses its sign.
fix:    fim P1, KEYS << 4       ; the scan keeps both switches there
        src P1
        rd3                     ; rounding rows: 1 "/N", 8 "5/4", 0 "FL"
        jcn z, fx_x
        xch R15
        rd0
        xch R14                 ; the decimals wanted
        src P4
        rd2
        xch R12                 ; the digit after the last, for rounding
        ldm 0
        wr2
fx_lp:  rd1                     ; (P4 is selected: here, and by raise and lower)
        clc
        sub R14
        jcn z, fx_rnd           ; as many as wanted
        jcn c, fx_cut           ; more than wanted
        jms raise               ; fewer: one more zero, if it fits (R12 = 0)
        jcn z, fx_lp
fx_rnd: ld R15
        rar
        jcn c, fx_x             ; "/N": cut only (so the carry is clear)
        ldm 11
        add R12                 ; "5/4": the digit after the last is 5 or more
        jcn nc, fx_x
        jms inc16
        ldm 15                  ; fifteen nines rounded up: a decimal goes (a
        xch R9                  ; whole number of fifteen nines cannot come
        src P4                  ; with a digit cut off: its operands would
        rdm                     ; need sixteen digits)
        jcn z, fx_x
        jms lower
fx_x:   jun tr_zero             ; and a 0 loses its sign
fx_cut: jms lower               ; R12: the digit cut
        jun fx_lp
