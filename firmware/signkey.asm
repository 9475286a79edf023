; "S": the entry changes its sign; a new entry begins as -0 and takes the
; digits that follow.
sign_entry:
        fim P4, ENTRY << 4
        jms begin
        src P4
        rd3
        cma
        rar
        tcc
        wr3
        jun loop
