; Fixed decimals, as the switches set them.

; With the rounding switch at "/N" or "5/4" the number in P4 is set to the
; decimals of the decimal-point switch: cut ("/N") or rounded half up
; ("5/4") when it has more, padded with zeros when it has fewer (as far as
; fifteen digits go). At "FL" it stays as it is.
fix:    fim P1, KEYS << 4
        src P1
        rd3                     ; rounding rows: 1 "/N", 8 "5/4", 0 "FL"
        jcn z, fx_x
        xch R15
        fim P1, LINE << 4
        src P1
        rd3
        xch R14                 ; the decimals wanted
fx_lp:  src P4
        rd1
        clc
        sub R14
        jcn z, fx_x
        jcn c, fx_cut           ; more than wanted
        jms raise               ; fewer: one more zero, if it fits
        jcn z, fx_lp
fx_x:   bbl 0
fx_cut: jms lower
        src P4
        rd1
        clc
        sub R14
        jcn nz, fx_lp           ; more to cut
        ld R15
        rar
        jcn c, fx_x             ; "/N": cut only
        ldm 11
        clc
        add R12                 ; "5/4": the first digit cut was 5 or more
        jcn nc, fx_x
        jms inc16
        bbl 0

