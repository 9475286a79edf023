; A demonstration program, shipped as demo.code beside the firmware. It
; shows each part of the board at work:
;   - it marks page-3 addresses one after the other, so the flowchart's
;     stripes light up box by box (a FIN at 0x300 fetches from the marked
;     address in page 3);
;   - after each box it prints a line of sixteen digits on the paper, the
;     digit counting 0 to 9, by loading the printer's hammer chain through
;     ROM 0's port and firing the hammers while the drum shows that digit;
;   - lines of odd digits carry the red mark.
; The build assembles it into demo.code beside the executables; to see it in
; the calculator, copy that file as 4001.code into a folder and start there.

        org 0x000
start:  ldm 0
        xch R8              ; R8: the digit of the next line, and the box to light
main:   jms sweep
        jms printline
        ld R8               ; next digit, 9 wraps to 0
        iac
        xch R8
        clc
        ldm 6
        add R8              ; 6 + 10 carries
        jcn NC, main
        ldm 0
        xch R8
        jun main

; Marks the sixteen addresses of box R8 in page 3, one every few milliseconds.
sweep:  ld R8
        xch R0
        ldm 0
        xch R1
mark:   jms 0x300           ; the FIN there fetches from 0x3 R0 R1
        jms delay
        isz R1, mark
        bbl 0

; About 600 instruction cycles.
delay:  ldm 0
        xch R12
outer:  ldm 0
        xch R13
inner:  isz R13, inner
        isz R12, outer
        bbl 0

; Prints sixteen digits R8 in columns 2 to 17.
printline:
        fim P7, 0x00        ; ROM 0's port and RAM 0's port
        src P7
        jms shift0          ; hammer lines 19 and 18 stay off
        jms shift0
        ldm 0
        xch R11
ones:   jms shift1          ; hammer lines 17 down to 2
        isz R11, ones
        jms shift0          ; hammer lines 1 and 0
        jms shift0
        fim P2, 0x20        ; ROM 2's port: bit 0 is the drum's index
index:  src P2
        rdr
        rar
        jcn NC, index       ; wait for sector 0
        ld R8
        xch R9
count:  ld R9
        jcn Z, fire
        jms nextsector
        ld R9
        dac
        xch R9
        jun count
fire:   src P7
        ld R8
        rar                 ; odd digits print in red: the printer remembers
        tcc                 ; a raised RibbonRed until the line is fed
        wmp
        ldm 0xA             ; HammerFire and PaperAdvance
        wmp
        jms nextsector      ; the drum's boundary strikes and feeds the line
        ldm 0
        wmp
        bbl 0

; Waits for the start of the next drum sector: TEST goes low, then high.
nextsector:
high:   jcn NT, high
low:    jcn T, low
        bbl 0

; One bit into the hammer chain: data on line 1, the printer clock on line 2.
shift0: ldm 0
        wrr
        ldm 4
        wrr
        ldm 0
        wrr
        bbl 0
shift1: ldm 2
        wrr
        ldm 6
        wrr
        ldm 2
        wrr
        bbl 0

        org 0x300
        fin P1              ; the fetch cycle reads 0x3 R0 R1: that address is marked
        bbl 0
