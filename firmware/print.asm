; The printer. The drum turns 13 sectors a revolution ("0".."9", ".", ".",
; "-"), 10000 clock periods each; TEST is high for the first 1600 periods of
; every sector and ROM 2's port line 0 (DrumIndex) during sector 0. At the end
; of a sector, if RAM 0's port line 1 (HammerFire) is high, every hammer line
; that is high strikes that sector's character; if line 3 (PaperAdvance) is
; high too, the line is fed out. Line 0 (RibbonRed) seen high at any time
; during a line prints it red, with the "-" mark left of the number.
;
; The 20 hammer lines are the two chained printer shift registers, clocked by
; ROM 0's port line 2 with the data on line 1: the first bit shifted in ends
; on hammer line 19. Line 0 strikes the left symbol, line 1 the right symbol,
; lines 2-17 the columns 2-17, lines 18 and 19 nothing.
;
; print strikes the line held in LINE in one revolution: it waits for sector
; 0, then in each sector loads the hammers of the characters that sector
; strikes and fires; the last sector also feeds the paper. The key scan runs
; while it waits for the drum, so keys typed meanwhile go to the buffer.
;
; Budget: loading a sector's hammers takes about 300 instruction cycles of the
; 1250 a sector lasts; waiting for the next sector, a scan pass (110 cycles)
; between two looks at TEST, whose pulse lasts 200 cycles, so no pulse is
; missed. A line takes one revolution (130000 periods) plus the wait for
; sector 0, up to one more revolution.
;
; Registers: R2-R7 (R12-R15 through the scan). Depth 0; calls go to depth 2
; (hammer, in hammer.asm for want of room in page 0).

print:
pr_idx: jms nextsector
        fim P1, 0x20            ; ROM 2's port
        src P1
        rdr
        rar                     ; DrumIndex into carry
        jcn nc, pr_idx          ; not sector 0 yet
        fim P2, 0x03            ; R4 = the sector; R5 counts 13 sectors (3..15)
        fim P3, 0x40            ; R6 = 4: the printer's shift clock
; Eighteen bits a sector: the last lands on hammer line 0 and the first on
; line 17. Lines 18 and 19, which strike nothing, keep what the previous
; sector pushed up into them.
pr_sec: fim P1, LINE << 4       ; ROM 0's port and the line; R3 = its character
pr_col: src P1
        rdm                     ; character R3: column 17 - R3, hammer line 17 - R3
        jms hammer
        isz R3, pr_col
        rd1                     ; the right symbol: hammer line 1
        jms hammer
        rd0                     ; the left symbol: hammer line 0
        jms hammer
        ld R5
        iac                     ; carry on the last sector (R5 = 15)
        ldm 10                  ; there: HammerFire and PaperAdvance, and the
        jcn c, pr_fire          ; red ribbon down, so it is low at the feed
        rd2                     ; before it: HammerFire (2), and the red
        iac                     ; ribbon when the number is negative; the
        iac                     ; printer remembers it until the line is fed
pr_fire:
        wmp
        jms nextsector          ; the sector ends: its characters are struck
        inc R4
        isz R5, pr_sec
        ldm 0                   ; the line is out, sector 0 has begun: (the
        wmp                     ; scan left RAM 0 selected) hammers and feed off
        jun loop                ; the line is printed: the next operation

; Waits for the start of the next drum sector (TEST rising), scanning the keys.
nextsector:
ns_hi:  jms scan
        jcn nt, ns_hi           ; TEST high: a sector's pulse already begun
ns_lo:  jms scan
        jcn t, ns_lo            ; TEST low: wait for the next pulse
        bbl 0
