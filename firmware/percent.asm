; "%": the result of a multiplication divided by 100.

; PCT: the result divided by 100: two more decimals, cutting the last ones
; when there would be more than fourteen.
pct:    fim P4, LAST << 4
pc_lp:  src P4
        rd1
        iac
        iac
        iac
        jcn nc, pc_ok           ; at most 12 decimals
        jms lower
        jun pc_lp
pc_ok:  rd1
        iac
        iac
        wr1
        jun result
