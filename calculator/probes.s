; Assembly-time switches, each 0 unless set with the assembler's --defsym NAME=1, that build a
; player breaking one rule of the real calculators, so that a test can prove the emulated
; calculator notices:
;   kProbeNoSpeedWrite   the 83 Plus family player leaves the CPU speed (port 0x20) as found
;   kProbeShortLcdGap    show_screen writes its data 63 T-states apart instead of kLcdGapT
;   kProbeNoKeypadReset  a key read selects its group without deselecting the others first
;   kProbeApdOn          the auto power-down count goes on while the player runs
        .ifndef kProbeNoSpeedWrite
        .equ kProbeNoSpeedWrite, 0
        .endif
        .ifndef kProbeShortLcdGap
        .equ kProbeShortLcdGap, 0
        .endif
        .ifndef kProbeNoKeypadReset
        .equ kProbeNoKeypadReset, 0
        .endif
        .ifndef kProbeApdOn
        .equ kProbeApdOn, 0
        .endif
