; ADDS r0 / ADDS r1: register r (TOTAL or MEM) + or - the entry.
;
; The sum is made in WORK, a copy of the register, and copied back only when
; it fits: a sum that overflows leaves the total or the memory as it was.
;
; The number with fewer decimals is raised to the other's; when it has no
; room, the other is cut to its decimals instead. A number raised this way
; may fill fifteen digits when the sizes add, sixteen when they subtract:
; then the smaller one alone is cut, and the difference keeps the fifteen
; digits that a cancellation at the top leaves (100000000000000 - 0.05 is
; 99999999999999.9). Cutting the smaller one toward zero and adding gives the
; sum cut toward zero; for a difference the cut number is rounded up instead
; when a digit that was not 0 went, so the difference too is cut, never
; rounded. A sum of sixteen digits gives up a decimal, or overflows if it has
; none. The entry is worked on where it is: it is not typed any more, and
; LAST keeps it as it was.
adds:   jms operand             ; R4: the register added to; R5: 1 subtracts
        ld R4
        xch R6
        fim P4, WORK << 4
        jms copy                ; WORK = the register (left selected)
        rd3
        xch R13                 ; its sign
        fim P4, ENTRY << 4
        src P4
        rd3
        clc
        add R5
        rar
        tcc
        wr3                     ; the sign of what is added
        add R13
        rar                     ; carry: the signs differ
        ldm 7
        ral
        xch R2                  ; R2: 14 equal signs, 15 opposite (RAL of 7 and the carry)
ad_al:  fim P3, ENTRY << 4
        fim P4, WORK << 4
        src P4
        rd1
        xch R14                 ; WORK's decimals
        src P3
        rd1
        clc
        sub R14                 ; the entry's decimals minus WORK's
        jcn z, ad_sign
        jcn c, ad_up            ; more in the entry: raise WORK, else cut the entry
        ld R6                   ; fewer in the entry: raise it, else cut WORK
        xch R8                  ; (P3 and P4 change registers)
        xch R6
ad_up:  ld R2
        xch R9
        jms rs9                 ; one more decimal if character R2 is still 0
        jcn z, ad_al
        ld R6
        xch R8
        jms lower               ; no room: the other loses its last decimal
        ld R12
        jcn z, ad_al            ; a 0 went
        ld R2
        rar
        jcn nc, ad_al           ; a sum is cut toward zero; for a difference
        jms inc16               ; the number is rounded up instead, a digit at
        jun ad_al               ; a time (which is the same as once at the end)
ad_sign:
        ld R2
        rar
        jcn nc, ad_add          ; equal signs: the sizes add
        jms sub16               ; opposite signs: the smaller comes off
        jcn c, ad_fit
        jms negate              ; the entry was larger: the sign turns
        jun ad_fit
ad_add: jms add16
ad_fit: ldm 15
        xch R9
        src P4
        rdm
        jcn z, ad_trim          ; still fifteen digits at most
        rd1
        jcn z, overflow         ; no decimal to give up
        jms lower
ad_trim:
        jms trim
        fim P3, WORK << 4
        ld R4
        xch R8
        jms copy                ; the sum into its register
        jun loop

; A result or a sum that does not fit: "E" is printed, "OVF" lights, and
; only "C" is taken from now on.
overflow:
        fim P4, TOTAL << 4
        src P4
        ldm 2                   ; the OVF lamp's line, as END sets the lamps
        wr0
        fim P0, k_overflow & 0xFF
        jun loop
