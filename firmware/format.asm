; The printed form of a number.

; The number in register R8 as the printer shows it, into LINE: right-aligned
; (character 0 is column 17), the point in a column of its own when there
; are decimals, no leading zeros but the units digit. A negative number is
; marked for the red ribbon.
format: ldm 0
        xch R9
        fim P1, LINE << 4
        src P4
        rd1
        xch R14                 ; the decimals
        rd3                     ; the sign: the red ribbon
        src P1
        wr2
fm_lp:  ld R14
        jcn z, fm_dig
        ld R3
        clc
        sub R14
        jcn nz, fm_dig
        ldm POINT               ; right of the decimals
        jun fm_put
fm_dig: src P4
        rdm
        inc R9
fm_put: src P1
        wrm
        isz R3, fm_lp
        ld R14                  ; the units digit: character 0, or above the point
        jcn z, fm_u
        iac
fm_u:   xch R15
        ldm 15
        xch R3
fm_bl:  ld R3                   ; zeros above the units digit are blanked
        clc
        sub R15
        jcn z, fm_x
        src P1
        rdm
        jcn nz, fm_x
        ldm BLANK
        wrm
        ld R3
        dac
        xch R3
        jun fm_bl
fm_x:   bbl 0

; PRNX: LINE = no number at all; on to the symbols and the printing.
blankline:
        fim P1, LINE << 4
bk_lp:  src P1
        ldm BLANK
        wrm
        isz R3, bk_lp
        ldm 0
        wr2
        jun pn_sym
