; The frame-record player shared by every calculator model: the frame loop with its pacing, the
; record decoder (header, byte-run items, bit-run tokens) that applies each record straight to the
; screen buffer, and the copy of that buffer to the LCD. docs/formats.md describes the records.
;
; The model file includes this file and defines before it:
;   kScreen      a 768-byte screen buffer, rows of 12 bytes from the top
;   kVars        kDecoderVarBytes bytes of RAM for the variables below
;   player_stop  where the player ends: restores the OS state and returns to the OS; any routine
;                here may jump to it with anything on the stack
;   kTimerStatusPort     the port whose bit 1 reads 1 once the timer has fired
;   kFixedInterruptMask  0 when port 3 reads back the interrupt mask; else the mask the OS keeps
;                        in port 3, for models where reading port 3 gives something else
;   kVectorTable, kVectorByte, kVectorTarget  a 257-byte IM 2 vector table in safe RAM, the byte
;                        it is filled with, and the address (kVectorByte twice) the vectors name
;   kKbdScanCode, kKbdKey, kKbdGetKy  the OS's key bytes that restore_os_state clears, or 0 each
;                        where their address is not known
; and includes probes.s first.
;
; The model file calls save_os_state and start_playback (which sets up the timer and clears the
; screen buffer), then hands the records to play_records in one or more pieces, each of whole
; records; its player_stop calls restore_os_state.
;
; The records are applied in two steps. First the whole screen takes the record's background
; pattern (a key record stores it, a difference record inverts the screen where it is 1). Then
; every described pixel or byte changes the screen by its value relative to that pattern, by XOR.
; A key record thus leaves exactly its frame, a difference record inverts exactly its marked pixels.

        .equ kMarkerByte, 145           ; starts a byte-run item of three bytes
        .equ kCodeTypeCount, 9
        .equ kScreenBytes, 768
        .equ kScreenEnd, kScreen + kScreenBytes
        .equ kRowBytes, 12
        .equ kTokenCheckPage, (kScreenEnd - 1) >> 8     ; below it a token starts in the frame
        .equ kRunCheckPage, (kScreenEnd - 8) >> 8       ; below it any run ends in the frame
        .equ kLcdCommand, 0x10
        .equ kLcdData, 0x11
        .equ kLcdRowIncrement, 0x05     ; LCD command: the row address counts up after each access
        .equ kLcdFirstColumn, 0x20
        .equ kLcdFirstRow, 0x80
        .equ kLcdGapT, 72               ; T-states at 6 MHz between two LCD driver accesses, at least
        .equ kKeyPort, 1
        .equ kKeyNoGroup, 0xFF          ; port 1: deselects every key group
        .equ kKeyGroupClear, 0xFD       ; key group of [CLEAR]
        .equ kKeyClearBit, 6            ; 0 while [CLEAR] is down
        .equ kInterruptMaskPort, 3
        .equ kTimerFlag, 0x02           ; kTimerStatusPort: the timer has fired
        .equ kTimerBits, 0x06           ; port 3: the timers; clearing them acknowledges a tick
        .equ kOpXorHl, 0xAE             ; xor (hl)
        .equ kOpNop, 0x00

; Pacing. The tick period is measured at start-up in units of kPollT / kCalibrationTicks
; T-states; every tick then adds the measured period to the clock, and a frame lasts kFrameUnits
; of those units: 10 frames a second at 6 MHz whatever the timer rate. Measured with interrupts
; off, the period leaves out no interrupt handler's time.
        .equ kCalibrationTicks, 16
        .equ kPollT, 52                 ; T-states of one turn of await_tick's polling loop
        .equ kAckT, 77                  ; T-states a counted tick costs besides its polling turns
        .equ kAckUnits, (kCalibrationTicks * kAckT + kPollT / 2) / kPollT
        .equ kFrameT, 600000
        .equ kFrameUnits, (kFrameT * kCalibrationTicks + kPollT / 2) / kPollT

; Bits of a code type's flags (code_type_flags).
        .equ kFlagFillOnes, 0           ; background pattern 0xFF, else 0x00
        .equ kFlagSkipCount, 1          ; a 16-bit skip count follows the header
        .equ kFlagBitRuns, 2            ; bit-run tokens, else byte-run items
        .equ kFlagInvertSkip, 3         ; the skipped bytes are the complement of the background

; Variables.
        .equ clock, kVars               ; 3 bytes: time in units, advanced by every tick
        .equ clock_step, kVars + 3      ; 2 bytes: units a tick adds to clock
        .equ deadline, kVars + 5        ; 3 bytes: clock value at which the next frame starts
        .equ data_end, kVars + 8        ; 2 bytes: address after the last record byte
        .equ record_start, kVars + 10   ; 2 bytes: address of the current record's header
        .equ record_left, kVars + 12    ; 2 bytes: data bytes from record_start to data_end
        .equ play_until, kVars + 14     ; 2 bytes: play_records returns at a record from here on
        .equ saved_apd, kVars + 16      ; 1 byte: the auto power-down flags at entry
        .equ saved_indicator, kVars + 17 ; 1 byte: the run indicator flags at entry
        .equ kDecoderVarBytes, 18

; The OS's flags, (IY + n) while the OS runs (kOsFlags), as ti83plus.inc names them; the TI-83
; is taken to be the same (docs/calculator.md).
        .ifndef kOsFlags                ; the TI-82's OS keeps them elsewhere (ti82.s)
        .equ kOsFlags, 0x89F0
        .endif
        .equ kKbdFlags, 0x00            ; bit kKbdScr: a new key's scan code waits in kKbdScanCode
        .equ kKbdScr, 3
        .equ kGraphFlags, 0x03          ; bit kGraphDraw: the graph screen must be redrawn
        .equ kGraphDraw, 0
        .equ kApdFlags, 0x08            ; bits 2 (apdAble) and 3 (apdRunning): the OS's interrupt
        .equ kApdBits, 0x0C             ; handler counts down to power-off while both are set
        .equ kApdRunning, 3
        .equ kOnFlags, 0x09             ; bit kOnInterrupt: [ON] was pressed (a break)
        .equ kOnInterrupt, 4
        .equ kIndicatorFlags, 0x12      ; bit kIndicatorOn: the OS draws its run indicator
        .equ kIndicatorOn, 0

        .globl frame_begin
        .globl frame_shown
        .globl frame_waited

; Interrupt handler (IM 2 vector target): advances the clock by a tick, then goes on to the OS's
; handler at 0x0038, which acknowledges the timer and returns. All registers kept.
; 169 T-states before the OS handler.
tick_handler:
        push af
        push hl
        push de
        ld hl,(clock)
        ld de,(clock_step)
        add hl,de
        ld (clock),hl
        ld a,(clock + 2)
        adc a,0
        ld (clock + 2),a
        pop de
        pop hl
        pop af
        jp 0x0038

; Points IM 2 at tick_handler through the model's vector table (any data-bus byte leads to it),
; measures the tick, and clears the screen buffer. In: interrupts off. Out: interrupts on, IM 2.
; Destroys AF, BC, DE, HL.
start_playback:
        ld hl,kVectorTable
        ld de,kVectorTable + 1
        ld bc,256
        ld (hl),kVectorByte
        ldir
        ld a,0xC3                       ; jp tick_handler
        ld (kVectorTarget),a
        ld hl,tick_handler
        ld (kVectorTarget + 1),hl
        ld a,kVectorTable >> 8
        ld i,a
        im 2
        call measure_tick
        xor a
        jp fill_screen

; Measures the timer's tick period against the CPU with interrupts off, polling the timer flag
; and acknowledging each tick itself; sets clock_step, clears the clock and sets the first
; deadline one frame ahead. Out: interrupts on. Destroys AF, BC, DE, HL. Takes 17 ticks.
; Stops the player when the timer is off or slower than about 28 ticks a second.
measure_tick:
        di
        .if kFixedInterruptMask
        ld a,kFixedInterruptMask
        .else
        in a,(kInterruptMaskPort)
        .endif
        ld c,a                          ; C = the interrupt mask the OS set
        and 0xFF - kTimerBits
        out (kInterruptMaskPort),a      ; acknowledge a tick that may be waiting
        ld a,c
        out (kInterruptMaskPort),a
        ld de,0
        call await_tick                 ; a fresh tick starts the count
        ld de,0
        ld b,kCalibrationTicks
1:      call await_tick
        djnz 1b
        ld hl,kAckUnits
        add hl,de
        ld (clock_step),hl
        ld hl,0
        ld (clock),hl
        xor a
        ld (clock + 2),a
        ld hl,kFrameUnits & 0xFFFF
        ld (deadline),hl
        ld a,kFrameUnits >> 16
        ld (deadline + 2),a
        ei
        ret

; Polls the timer flag, one turn of kPollT T-states per DE increment, then acknowledges the tick.
; In: C = the interrupt mask to restore, DE = turns so far. Out: DE = turns so far. Destroys AF.
await_tick:
        inc de
        ld a,d
        or e
        jp z,player_stop                ; no timer: nothing to pace the frames by
        in a,(kTimerStatusPort)
        and kTimerFlag
        jp z,await_tick
        ld a,c
        and 0xFF - kTimerBits
        out (kInterruptMaskPort),a
        ld a,c
        out (kInterruptMaskPort),a
        ret

; Stops the player when [CLEAR] is down. Destroys AF.
check_clear:
        call read_clear_group
        bit kKeyClearBit,a
        jp z,player_stop
        ret

; Reads the key group of [CLEAR] as the keypad needs it: every group deselected, a wait for the
; key lines to settle, the group selected, the wait again, the read. Interrupts are off meanwhile
; (the OS's handler scans the keys through the same port) and on after. Out: A = the group's key
; lines, 0 where a key is down. Destroys F. 178 T-states with the call.
read_clear_group:
        di
        .if !kProbeNoKeypadReset
        ld a,kKeyNoGroup
        out (kKeyPort),a
        call key_settle
        .endif
        ld a,kKeyGroupClear
        out (kKeyPort),a
        call key_settle
        in a,(kKeyPort)
        ei
        ret

; The key lines' settling time after a write to the key port, 48 T-states with the call, so that
; the next key port access comes at least 59 T-states after the write. Destroys nothing.
key_settle:
        push af                         ; 11
        pop af                          ; 10
        ret                             ; 10

; Waits until [CLEAR] is up. Destroys AF.
await_clear_up:
        call read_clear_group
        bit kKeyClearBit,a
        jr z,await_clear_up
        ret

; Saves the OS flags the player changes and stops the OS's auto power-down count and run
; indicator for the play. In: IY = kOsFlags. Destroys AF.
save_os_state:
        ld a,(iy + kApdFlags)
        ld (saved_apd),a
        ld a,(iy + kIndicatorFlags)
        ld (saved_indicator),a
        .if !kProbeApdOn
        res kApdRunning,(iy + kApdFlags)
        .endif
        res kIndicatorOn,(iy + kIndicatorFlags)
        ret

; Hands the OS back its state at the end: waits for [CLEAR] to be released, leaves no key and no
; [ON] break pending, restores the auto power-down and run indicator bits as save_os_state found
; them, and has the OS redraw the graph screen, whose buffer the player used. In: IY = kOsFlags,
; interrupts on. Out: interrupts on. Destroys AF.
restore_os_state:
        call await_clear_up
        di
        .if kKbdScanCode
        xor a
        ld (kKbdScanCode),a
        ld (kKbdKey),a
        ld (kKbdGetKy),a
        .endif
        res kKbdScr,(iy + kKbdFlags)
        res kOnInterrupt,(iy + kOnFlags)
        set kGraphDraw,(iy + kGraphFlags)
        ld a,(saved_apd)                ; the saved bits into the flags as they are now
        xor (iy + kApdFlags)
        and kApdBits
        xor (iy + kApdFlags)
        ld (iy + kApdFlags),a
        ld a,(saved_indicator)
        xor (iy + kIndicatorFlags)
        and 1 << kIndicatorOn
        xor (iy + kIndicatorFlags)
        ld (iy + kIndicatorFlags),a
        ei
        ret

; Waits until the clock reaches the deadline, checking [CLEAR] at every tick, then moves the
; deadline one frame on. A late frame thus shortens the next wait and the tempo catches up.
; Destroys AF, DE, HL.
wait_frame:
        call check_clear
        di
        ld hl,(clock)
        ld a,(clock + 2)
        ei
        ld de,(deadline)
        or a
        sbc hl,de
        ld hl,deadline + 2
        sbc a,(hl)                      ; the sign of clock - deadline, 24 bits
        jp p,1f
        halt
        jr wait_frame
1:
frame_waited:
        ld hl,(deadline)
        ld de,kFrameUnits & 0xFFFF
        add hl,de
        ld (deadline),hl
        ld a,(deadline + 2)
        adc a,kFrameUnits >> 16
        ld (deadline + 2),a
        ret

; Plays records at 10 frames a second, each applied to the screen as the last one left it, until
; the next record starts at or after BC. In: DE = first record byte, HL = the end of the bytes
; that may be read (no record passes it), BC = where to stop, BC <= HL. Out: DE = the first
; record not played. Destroys all but IX, IY. Stops the player on [CLEAR], on a code type it does
; not know, on malformed data and when a record passes HL; such a record is never shown.
play_records:
        ld (data_end),hl
        ld (play_until),bc
play_next:
        call check_clear
        ld hl,(play_until)
        or a
        sbc hl,de
        ret z                           ; the piece is played
        ret c
        ld hl,(data_end)
        or a
        sbc hl,de
        ld (record_left),hl
        ld (record_start),de
frame_begin:
        call decode_record
        ; The decoder may read past the data's end; the record is whole only if it did not.
        ld hl,(record_start)
        ex de,hl
        push hl
        or a
        sbc hl,de                       ; bytes the record took
        ex de,hl
        ld hl,(record_left)
        or a
        sbc hl,de
        jp c,player_stop
        call show_screen
frame_shown:
        call wait_frame
        pop de
        jr play_next

; Stores A in the whole screen buffer. Out: HL = kScreenEnd. Destroys BC, DE.
fill_screen:
        ld hl,kScreen
        ld de,kScreen + 1
        ld bc,kScreenBytes - 1
        ld (hl),a
        ldir
        inc hl
        ret

; Inverts BC bytes from HL on (BC may be 0). Out: HL after them, BC = 0. Destroys AF.
; 44 T-states a byte.
invert_bytes:
        ld a,b
        or c
        ret z
1:      ld a,(hl)
        cpl
        ld (hl),a
        cpi
        jp pe,1b
        ret

; Code type 0 to 8: its kFlag bits.
code_type_flags:
        .db 0x00, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0E, 0x0F

; stop_past_frame: stops the player when HL is more than kScreenBytes, a byte count that reaches
; past the frame; otherwise pops HL, which the caller pushed. Destroys F. 70 T-states.
        .macro stop_past_frame
        push de
        ld de,kScreenBytes + 1
        or a
        sbc hl,de
        pop de
        pop hl
        jp nc,player_stop
        .endm

; Applies one record to the screen buffer. In: DE = the record's header. Out: DE after the
; record. Destroys AF, BC, HL. Stops the player on an unknown code type or malformed data.
decode_record:
        ld a,(de)
        inc de
        ld c,a                          ; C = header
        and 0x7F
        cp kCodeTypeCount
        jp nc,player_stop
        ld hl,code_type_flags
        add a,l
        ld l,a
        jr nc,1f
        inc h
1:      ld b,(hl)                       ; B = flags
        xor a
        bit kFlagFillOnes,b
        jr z,2f
        dec a
2:      ; A = background pattern; patch the decoding loops for the record's kind
        push de
        push bc
        ld e,a
        and 0x7F
        ld (token_background + 1),a     ; literal pixels and run values relative to the pattern
        bit 7,c
        ld a,e
        jr nz,3f
        call fill_screen                ; key record: the screen becomes the pattern
        xor a
        ld b,kOpNop                     ; byte-run items store their bytes
        jr 4f
3:      or a
        ld hl,kScreen
        ld bc,kScreenBytes
        call nz,invert_bytes            ; difference record: invert where the pattern is 1
        ld a,e
        ld b,kOpXorHl                   ; byte-run items invert by their bytes
4:      ld (put_background + 1),a
        ld (run_background + 1),a
        ld a,b
        ld (put_apply),a
        ld (run_apply),a
        pop bc
        pop de
        ; the skip count, most significant byte first
        ld hl,0
        bit kFlagSkipCount,b
        jr z,5f
        ld a,(de)
        inc de
        ld h,a
        ld a,(de)
        inc de
        ld l,a
        push hl
        stop_past_frame                 ; skip count past the frame
5:      bit kFlagBitRuns,b
        jr z,byte_record
        ; bit-run record: the skipped bytes, then tokens from the first byte after them
        push bc
        ld c,l
        ld b,h
        ld hl,kScreen
        pop af                          ; A = flags
        bit kFlagInvertSkip,a
        jr z,6f
        call invert_bytes
        jr bit_runs
6:      add hl,bc
        jr bit_runs

; Byte-run record. In: HL = skip count, B = flags, DE = data after the skip count.
byte_record:
        bit kFlagSkipCount,b
        ld bc,kScreenBytes              ; code type 0: every byte of the frame
        jr z,1f
        ld a,(de)                       ; span length, most significant byte first
        inc de
        ld b,a
        ld a,(de)
        inc de
        ld c,a
        push hl
        add hl,bc
        jp c,player_stop                ; past 16 bits
        stop_past_frame                 ; skip count and span past the frame
1:      push bc
        ld bc,kScreen
        add hl,bc
        pop bc
        ; fall through

; Expands byte-run items into BC bytes of the screen from HL on (BC may be 0).
; In: DE = the items. Out: DE after them. Destroys AF, BC, HL. 78 T-states a plain byte; a run
; about 180 plus 37 a byte. Stops the player on a malformed item or one passing the end of the
; span.
byte_runs:
        ld a,b
        or c
        ret z
byte_item:
        ld a,(de)
        inc de
        cp kMarkerByte
        jr z,byte_run
byte_put:
put_background:
        xor 0                           ; patched: 0 (key) or the background (difference)
put_apply:
        xor (hl)                        ; patched: nop (key) or xor (hl) (difference)
        ld (hl),a
        inc hl
        dec bc
        ld a,b
        or c
        jp nz,byte_item
        ret
byte_run:                               ; the marker, then the byte and the count
        push bc
        ld a,(de)
        inc de
        ld c,a                          ; C = the byte
        ld a,(de)
        inc de
        ld b,a                          ; B = the count
        cp 3
        jr nc,1f
        ; counts 0 to 2 are valid only as the escape 145, 145, 1: the marker byte once
        dec a
        jp nz,player_stop
        ld a,c
        cp kMarkerByte
        jp nz,player_stop
        pop bc
        jr byte_put
1:      ex (sp),hl                      ; HL = bytes left, the screen pointer on the stack
        push de
        ld e,b
        ld d,0
        or a
        sbc hl,de
        pop de
        jp c,player_stop                ; the run passes the end of the span
        ex (sp),hl                      ; HL = screen pointer, the bytes left on the stack
        ld a,c
run_background:
        xor 0                           ; patched as put_background
        ld c,a
2:      ld a,c
run_apply:
        xor (hl)                        ; patched as put_apply
        ld (hl),a
        inc hl
        djnz 2b
        pop bc
        jr byte_runs

; apply_collected: applies the byte collected in C, its marker shifted out, to the screen byte at
; HL and starts the next: HL + 1, C = 1. Destroys A. 31 T-states.
        .macro apply_collected
        ld a,c
        xor (hl)
        ld (hl),a
        inc hl
        ld c,1
        .endm

; complete_run_byte dark: the first pixels of a run of A pixels (8 or more), 0s or, with dark 1,
; 1s, complete the byte in C, which is applied; stops the player when the rest of the run would
; pass the frame's end. Out: B = the pixels left, HL at the next byte, C = 1. Destroys AF.
        .macro complete_run_byte dark
        ld b,a
1:
        .if \dark
        scf
        rl c
        .else
        sla c
        .endif
        dec b
        jr nc,1b
        apply_collected
        ld a,h
        cp kRunCheckPage
        call nc,check_run_end
        .endm

; Applies bit-run tokens from the start of the screen byte at HL to the end token.
; In: DE = the tokens, HL inside the screen or kScreenEnd. Out: DE after the end token. Destroys
; AF, BC, HL. About 290 T-states a literal; a run about 150 plus 24 a pixel up to the next byte
; and 37 a whole byte it inverts. Stops the player on a run shorter than 8 pixels and on a token
; that starts or a run that ends past the frame.
; C collects the pixels of the byte at HL above a marker bit: 1 when it holds none; the marker
; leaves C as the eighth pixel arrives, and the byte is then applied to the screen.
bit_runs:
        ld c,1
bit_token:
        ld a,(de)
        inc de
        ld b,a                          ; B = the token
        ld a,h
        cp kTokenCheckPage
        jr nc,bit_token_near_end
bit_token_inside:
        ld a,b
token_background:
        xor 0                           ; patched: 0x7F when the background is 1
        jp m,bit_literal
        and 0x40                        ; run value relative to the background
        ld a,b
        jp nz,bit_run_dark
        ; fall through

; A run token in A and B that leaves the screen as it is: completes the byte in C with zeros,
; skips whole bytes, collects the rest.
bit_run_light:
        and 0x3F
        cp 8
        jr c,bit_short
        complete_run_byte 0
        ld a,b
        rrca
        rrca
        rrca
        and 0x1F
        add a,l
        ld l,a
        adc a,h
        sub l
        ld h,a
        ld a,b
        and 7
        jr z,bit_token
        ld b,a
2:      sla c
        djnz 2b
        jr bit_token

; The end token, or a run too short: the byte in C is applied if it lies in the frame.
bit_short:
        ld a,b
        or a
        jp nz,player_stop
        ld a,c
        dec a
        ret z                           ; no pixel collected
        ld a,l
        sub kScreenEnd & 0xFF
        ld a,h
        sbc a,kScreenEnd >> 8
        ret nc                          ; pixels past the frame's end carry nothing
1:      sla c
        jr nc,1b
        ld a,c
        xor (hl)
        ld (hl),a
        ret

; Near the frame's end: only the end token may come at kScreenEnd.
bit_token_near_end:
        ld a,b
        or a
        jr z,bit_short
        ld a,l
        sub kScreenEnd & 0xFF
        ld a,h
        sbc a,kScreenEnd >> 8
        jp nc,player_stop
        jr bit_token_inside

; A literal token: seven pixels, most significant first, in bits 6..0 of A.
bit_literal:
        add a,a
        ld b,a
        .rept 7
        sla b
        rl c
        jr nc,1f
        apply_collected
1:
        .endr
        jp bit_token

; A run token in A and B that inverts the screen: as bit_run_light with ones.
bit_run_dark:
        and 0x3F
        cp 8
        jp c,bit_short
        complete_run_byte 1
        ld a,b
        and 7
        push af
        ld a,b
        rrca
        rrca
        rrca
        and 0x1F
        jr z,3f
        ld b,a
2:      ld a,(hl)
        cpl
        ld (hl),a
        inc hl
        djnz 2b
3:      pop af
        jp z,bit_token
        ld b,a
4:      scf
        rl c
        djnz 4b
        jp bit_token

; Checks that B more pixels from the start of the byte at HL stay inside the frame.
; Destroys AF; C must be 1 (no pixel collected) and stays 1. Stops the player when they do not.
check_run_end:
        ld a,kScreenEnd & 0xFF
        sub l
        ld c,a
        ld a,kScreenEnd >> 8
        sbc a,h
        jr nz,1f                        ; 256 bytes or more left
        ld a,c
        cp 8
        jr nc,1f                        ; 64 pixels or more left: any run fits
        add a,a
        add a,a
        add a,a
        cp b
        jp c,player_stop
1:      ld c,1
        ret

; Copies the screen buffer to the LCD, column by column of 8 pixels, at least kLcdGapT T-states
; at 6 MHz between two accesses of the driver, counting from an access just before the call and
; to one just after the return. Destroys AF, BC, DE, HL. 58,503 T-states with the call.
show_screen:
        call lcd_pause                  ; 56, and 17 for the call to show_screen
        ld a,kLcdRowIncrement           ; 7
        out (kLcdCommand),a             ; 11
        ld hl,kScreen                   ; 10
        ld de,kRowBytes                 ; 10
        ld c,kLcdFirstColumn            ; 7
1:      ld a,c                          ; 4
        call lcd_pause                  ; 56
        out (kLcdCommand),a             ; 11: the column
        ld a,kLcdFirstRow               ; 7
        call lcd_pause                  ; 56: 74 from the column
        out (kLcdCommand),a             ; 11: row 0
        push hl                         ; 11
        ld b,64                         ; 7
        call lcd_pause                  ; 56
2:      ld a,(hl)                       ; 7
        out (kLcdData),a                ; 11
        add hl,de                       ; 11
        push af                         ; 11: the driver's gap
        pop af                          ; 10
        .if !kProbeShortLcdGap
        ld a,r                          ; 9
        .endif
        djnz 2b                         ; 13: 72 from the last byte
        pop hl                          ; 10
        inc hl                          ; 6
        inc c                           ; 4
        ld a,c                          ; 4
        cp kLcdFirstColumn + kRowBytes  ; 7
        jr nz,1b                        ; 12 / 7
        ret                             ; 10

; A pause for the LCD driver: 56 T-states with the call. Destroys nothing.
lcd_pause:
        push af                         ; 11
        pop af                          ; 10
        nop                             ; 4
        nop                             ; 4
        ret                             ; 10
