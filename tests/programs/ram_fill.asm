; Fills RAM 0 register 0, characters 0 to 15, with their own numbers.
        org 0x000
        fim P0, 0x00        ; R0: chip and register, R1: character
loop:   src P0
        ld R1
        wrm                 ; character R1 gets the value R1
        isz R1, loop        ; stop after character 15 wraps to 0
done:   jun done
