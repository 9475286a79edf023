; The printed form of a number, and the symbols: the line that print strikes.

; PRNE and PRNT come here (by JUN) with P3 selecting the register of the
; number and R4, R5 the left and right symbols' sectors; PRNX enters at
; fm_all with LINE cleared and R15 = 0. LINE becomes the number as the
; printer shows it: right-aligned (character 0 is column 17), the point in a
; column of its own when there are decimals, no leading zeros but the units
; digit. A negative number is marked for the red ribbon. The line is then
; struck (print follows).
format: fim P4, LINE << 4
        jms copy                ; LINE = the number: its digits, its decimals
                                ; in status 1, its sign in status 3
        rd3
        wr2                     ; the sign: the red ribbon
        rd1
        iac
        xch R15                 ; R15 = decimals + 1, to count the
                                ; characters above the units digit (1 to 15)
fm_all: ldm 15
        xch R9
fm_bl:  src P4                  ; zeros above the units digit (character
        rdm                     ; "decimals" as long as the point is not in)
        jcn nz, fm_pt           ; are blanked, from the top down
        ldm BLANK
        wrm
        ld R9
        dac
        xch R9
        isz R15, fm_bl
fm_pt:  rd1
        jcn z, pn_sym           ; no decimals: no point
        xch R9
        ldm POINT
        xch R12
        jms su_lp               ; the characters from "decimals" up move up
                                ; one (character 15, blank, drops out) and
                                ; the point takes its place
pn_sym: ld R4                   ; (LINE is still selected)
        wr0                     ; the left symbol's sector
        ld R5
        wr1                     ; the right symbol's, over the decimals
                                ; read above; on into print
