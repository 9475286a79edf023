; ADDS r0 / ADDS r1: register r (TOTAL or MEM) + or - the entry. The number
; with fewer decimals is raised to the other's (or, with no room, the other
; is cut to its decimals); then same signs add and opposite signs subtract. A
; sum of sixteen digits gives up a decimal, or overflows if it has none. The
; entry is worked on where it is: it is not typed any more, and LAST keeps
; it as it was.
adds:   jms operand             ; R4: the register added to; R5: 1 subtracts
        ld R4
        xch R2                  ; R2: the register, all through
        fim P4, ENTRY << 4
        src P4
        rd3
        clc
        add R5
        rar
        tcc
        wr3                     ; the sign of what is added
ad_al:  ld R2
        xch R8
        src P4
        rd1
        xch R14                 ; the register's decimals
        fim P4, ENTRY << 4
        src P4
        rd1
        clc
        sub R14                 ; the entry's decimals minus the register's
        jcn z, ad_sign
        ld R2                   ; fewer in the entry: raise it, else cut the register
        xch R6
        jcn nc, ad_up
        ldm ENTRY               ; more in the entry: raise the register, else cut it
        xch R6
        ld R2
        xch R8
ad_up:  jms raise
        jcn z, ad_al
        ld R6
        xch R8
        jms lower
        jun ad_al
ad_sign:
        ld R2
        xch R8
        src P4
        rd3
        xch R14
        fim P3, ENTRY << 4
        src P3
        rd3
        clc
        sub R14
        jcn nz, ad_diff
        jms add16               ; same signs: the sizes add
        jun ad_fit
ad_diff:
        jms sub16               ; opposite signs: the smaller comes off
        jcn c, ad_fit
        jms negate              ; the entry was larger: the sign turns
        src P4
        rd3
        cma
        rar
        tcc
        wr3
ad_fit: ldm 15
        xch R9
        src P4
        rdm
        jcn z, ad_trim          ; still fifteen digits at most
        rd1
        jcn z, ad_over          ; no decimal to give up
        jms lower
ad_trim:
        jms trim
        jun loop
ad_over:
        jun overflow
