; The player for the TI-83 Plus and TI-84 Plus family: an Asm( program whose code the OS copies to
; 0x9D95. The frame records lie in AppVars, in RAM or in the archive, which the program names at
; player_data: their count (a byte), then each name in 8 bytes padded with zeros, in playing order;
; each AppVar holds whole records. This file holds what is particular to these models (RAM areas,
; interrupt set-up, finding and reading the AppVars, OS calls, exit); decoder.s holds the player.

        .include "probes.s"
        .include "sizedrecords.s"

        .equ kScreen, 0x9340            ; plotSScreen, the graph buffer: the screen buffer
        .equ kBackupScreen, 0x9872      ; appBackUpScreen, 768 bytes: variables and IM 2 vectors
        .equ kVars, kBackupScreen
        .equ saved_sp, kVars + kDecoderVarBytes ; 2 bytes: SP at entry
        .equ saved_page, saved_sp + 2   ; 1 byte: the flash page bank A showed at entry (port 6)
        .equ appvars_left, saved_page + 1 ; 1 byte: AppVars still to play, this one included
        .equ appvar_name, appvars_left + 1 ; 2 bytes: this AppVar's name in the table
        .equ archive_page, appvar_name + 2 ; 1 byte: the flash page mapped in bank A
        .equ archive_left, archive_page + 1 ; 2 bytes: record bytes not yet played of this AppVar
        .equ window, archive_left + 2   ; 2 bytes: free RAM for a record that crosses two pages
        .equ record_at, window + 2      ; 2 bytes: a record that may cross into the next page
        .equ record_bytes, record_at + 2 ; 2 bytes: its length
        .equ saved_speed, record_bytes + 2 ; 1 byte: port 0x20 at entry, on models that have it
        .equ kVectorTable, 0x9900       ; 257 bytes of kVectorByte, inside appBackUpScreen
        .equ kVectorByte, 0x9A
        .equ kVectorTarget, 0x9A9A      ; whatever byte the bus gives, the vector points here
        .equ kKbdScanCode, 0x843F       ; the OS's key bytes (ti83plus.inc)
        .equ kKbdKey, 0x8444
        .equ kKbdGetKy, 0x8445
        .equ kModelPort, 2              ; bit 7 set: a model with the speed port
        .equ kSpeedPort, 0x20           ; 0: 6 MHz, 1 to 3: 15 MHz
        .equ kOp1, 0x8478               ; the type and name a symbol search looks for
        .equ kFps, 0x9824               ; the OS's free RAM lies from (kFps) up to (kOps)
        .equ kOps, 0x9828
        .equ kAppVarObj, 0x15
        .equ kNameBytes, 8
        .equ kBankA, 0x4000             ; the flash page of port 6 shows from here to 0x7FFF
        .equ kBankEnd, 0x8000
        .equ kPagePort, 6
        .equ kArchiveNameLength, 9      ; an archived variable: offset of its name's length
        ; The longest record: a code type 1 record that spans the whole frame (a skip count of 0, a
        ; span of 768) in 768 escaped markers.
        .equ kMaxRecord, 1 + 4 + 768 * 3
        .equ kTimerStatusPort, 4        ; the interrupt status; port 3 reads back the mask
        .equ kFixedInterruptMask, 0
        .equ _ChkFindSym, 0x42F1
        .equ _ClrLCDFull, 0x4540
        .equ _GrBufClr, 0x4BD0

        .text
        .globl player_start
        .globl player_stop
        .globl player_data

; Entry from the OS: IY = kOsFlags, IM 1, interrupts on, the return address on the stack.
player_start:
        ld (saved_sp),sp
        .if !kProbeNoSpeedWrite
        in a,(kModelPort)
        rla
        jr nc,1f
        in a,(kSpeedPort)
        ld (saved_speed),a
        xor a
        out (kSpeedPort),a              ; the player's timing counts T-states at 6 MHz
1:
        .endif
        in a,(kPagePort)
        ld (saved_page),a
        call save_os_state
        di
        call start_playback
        ld hl,player_data
        ld a,(hl)
        inc hl
next_appvar:
        or a
        jr z,player_stop                ; every AppVar played
        ld (appvars_left),a
        ld (appvar_name),hl
        call find_appvar
        ld a,b
        or a
        jr nz,1f
        ex de,hl                        ; in RAM: HL = its size word
        play_sized_records
        jr 2f
1:      call play_archived
2:      ld hl,(appvar_name)
        ld de,kNameBytes
        add hl,de
        ld a,(appvars_left)
        dec a
        jr next_appvar

; Ends the player from anywhere: the OS state as at entry, the screen and its buffer cleared.
player_stop:
        ld sp,(saved_sp)
        di
        im 1
        ld iy,kOsFlags
        ld a,(saved_page)
        out (kPagePort),a
        ei
        rst 0x28
        .dw _GrBufClr
        rst 0x28
        .dw _ClrLCDFull
        call restore_os_state
        .if !kProbeNoSpeedWrite
        in a,(kModelPort)
        rla
        ret nc
        ld a,(saved_speed)
        out (kSpeedPort),a
        .endif
        ret

; Looks up the AppVar whose name HL points at. Out: B = its flash page (0 in RAM), DE = its data
; (RAM) or its archive entry (bank A). Destroys AF, C, HL. Stops the player when it is missing.
find_appvar:
        ld de,kOp1
        ld a,kAppVarObj
        ld (de),a
        inc de
        ld bc,kNameBytes
        ldir
        xor a
        ld (de),a                       ; an 8-character name ends here
        ld a,(saved_page)
        out (kPagePort),a               ; the OS's own page in bank A while it runs
        rst 0x28
        .dw _ChkFindSym
        jp c,player_stop
        ret

; Plays the records of an archived AppVar. In: B = the flash page and DE = the address in bank A
; of its archive entry. Destroys all but IX, IY. Stops the player when the OS's free RAM cannot
; hold a record.
play_archived:
        ld hl,(kOps)
        push de
        ld de,(kFps)
        ld (window),de
        or a
        sbc hl,de
        ld de,kMaxRecord
        or a
        sbc hl,de
        pop de
        jp c,player_stop
        ld a,b
        ld (archive_page),a
        out (kPagePort),a
        ex de,hl
        ld de,kArchiveNameLength
        call archive_advance
        call archive_byte               ; the name's length
        ld e,a
        ld d,0
        call archive_advance
        call archive_byte
        ld c,a
        call archive_byte
        ld b,a                          ; BC = the record bytes
        ld (archive_left),bc
; Plays archive_left record bytes from HL in the mapped page. Records that start more than a
; record's length before the page's end, and all of them once the AppVar ends in this page, play
; straight from flash; past that point each record's length is walked first: it plays from flash
; when it ends in the page, from a copy in the window when it crosses into the next one.
archive_next:
        ld bc,(archive_left)
        ld a,b
        or c
        ret z
        ex de,hl                        ; DE = the next record
        ld hl,kBankEnd
        or a
        sbc hl,de                       ; HL = the bytes left in the page
        push hl
        sbc hl,bc
        pop hl
        jr c,1f
        ld h,d                          ; the AppVar ends in this page
        ld l,e
        add hl,bc
        ld b,h
        ld c,l
        call play_records
        ld hl,0
        ld (archive_left),hl
        ret
1:      ld bc,kMaxRecord
        or a
        sbc hl,bc
        jr c,archive_near_end
        jr z,archive_near_end
        ; every record that starts before kBankEnd - kMaxRecord ends in this page
        push de
        ld hl,kBankEnd
        ld bc,kBankEnd - kMaxRecord
        call play_records               ; DE = the next record
        pop bc
        ld h,d
        ld l,e
        or a
        sbc hl,bc
        ex de,hl                        ; DE = the bytes played, HL = the next record
        push hl
        ld hl,(archive_left)
        or a
        sbc hl,de
        ld (archive_left),hl
        pop hl
        jr archive_next

; One record that may cross into the next page: its length walked, it plays from flash when it
; ends in this page, else from a copy of it in the window. In: DE = the record.
archive_near_end:
        ld (record_at),de
        ex de,hl
        call record_length
        ld (record_bytes),bc
        ld hl,kBankEnd
        ld de,(record_at)
        or a
        sbc hl,de                       ; HL = the bytes from it to the page's end
        or a
        sbc hl,bc
        jr c,1f
        ld h,d                          ; it ends in this page
        ld l,e
        add hl,bc
        call play_one_record
        jr 2f
1:      add hl,bc                       ; it crosses: its bytes in this page ...
        ld b,h
        ld c,l
        ex de,hl
        ld de,(window)
        ldir                            ; ... into the window
        ld a,(archive_page)
        inc a
        out (kPagePort),a
        ld hl,(window)
        ld bc,(record_bytes)
        add hl,bc
        push hl                         ; the window's end
        or a
        sbc hl,de
        ld b,h
        ld c,l                          ; BC = its bytes in the next page, at least 1
        ld hl,kBankA
        ldir
        ld a,(archive_page)
        out (kPagePort),a
        pop hl
        ld de,(window)
        call play_one_record
2:      ld hl,(archive_left)
        ld de,(record_bytes)
        or a
        sbc hl,de
        ld (archive_left),hl
        ld hl,(record_at)
        call archive_advance            ; HL = the next record, its page mapped
        jp archive_next

; Plays the one record at DE, which ends at HL. Destroys all but IX, IY. Stops the player when
; the decoder does not end it exactly there.
play_one_record:
        push hl
        ld b,d
        ld c,e
        inc bc                          ; play_records returns at the record after it
        call play_records
        pop hl
        or a
        sbc hl,de
        ret z
        jp player_stop

; HL += DE in the archive (DE < 0x4000), mapping the next page when HL passes the bank's end.
; Destroys AF.
archive_advance:
        add hl,de
        bit 7,h
        ret z
        res 7,h
        set 6,h
        ld a,(archive_page)
        inc a
        ld (archive_page),a
        out (kPagePort),a
        ret

; A = the archive byte at HL; HL moves past it, as archive_advance. Destroys DE.
archive_byte:
        ld a,(hl)
        push af
        ld de,1
        call archive_advance
        pop af
        ret

        .include "decoder.s"

; The length of the record at HL in the mapped page, walked as the decoder reads it, into the
; next page where it crosses; its page is mapped again after. Out: BC = its bytes. Destroys AF,
; DE, HL. About 21 T-states a byte of bit-run tokens, 120 a byte of byte-run items. Stops the
; player when the record passes the AppVar's end (a cut last record) or kMaxRecord bytes, or has
; a code type, span or run the decoder refuses.
record_length:
        ld de,(archive_left)            ; DE = the bytes the walk may still read
        call walk_byte                  ; the header
        and 0x7F
        cp kCodeTypeCount
        jp nc,player_stop
        push hl
        ld hl,code_type_flags
        add a,l
        ld l,a
        adc a,h
        sub l
        ld h,a
        ld b,(hl)                       ; B = flags
        pop hl
        bit kFlagSkipCount,b
        jr z,1f
        call walk_byte                  ; the skip count
        call walk_byte
1:      bit kFlagBitRuns,b
        jr z,3f
2:      ld a,d                          ; bit-run tokens up to the end token, 0
        or e
        jp z,player_stop                ; the AppVar ends first
        push hl
        ld hl,kBankEnd
        pop bc
        push bc
        or a
        sbc hl,bc
        push hl
        sbc hl,de
        pop bc                          ; BC = the bytes to the page's end ...
        jr c,8f
        ld b,d                          ; ... or to the AppVar's end, the fewer
        ld c,e
8:      pop hl
        ex de,hl
        or a
        sbc hl,bc
        ex de,hl
        xor a
        cpir
        ex de,hl
        add hl,bc                       ; keeps Z
        ex de,hl                        ; DE = the AppVar's bytes after the end token or HL
        jr z,6f
        ld a,d
        or e
        jp z,player_stop
        ld h,kBankA >> 8                ; the page's end: on in the next page
        in a,(kPagePort)
        inc a
        out (kPagePort),a
        jr 2b
3:      bit kFlagSkipCount,b
        ld bc,kScreenBytes              ; code type 0: every byte of the frame
        jr z,4f
        call walk_byte                  ; the span, most significant byte first
        ld b,a
        call walk_byte
        ld c,a
        push hl
        ld hl,kScreenBytes
        or a
        sbc hl,bc
        pop hl
        jp c,player_stop                ; a span past the frame
4:      ld a,b                          ; BC = the screen bytes the items have still to cover
        or c
        jr z,6f
        call walk_byte
        cp kMarkerByte
        jr z,5f
        dec bc
        jr 4b
5:      call walk_byte                  ; a run: its byte, then its count
        call walk_byte
        cp 3
        jr nc,7f
        ld a,1                          ; the escape of the marker byte
7:      push hl
        ld h,b
        ld l,c
        ld c,a
        ld b,0
        or a
        sbc hl,bc
        ld b,h
        ld c,l
        pop hl
        jr nc,4b
        jp player_stop                  ; a run past the span
6:      ld hl,(archive_left)
        or a
        sbc hl,de
        ld b,h
        ld c,l                          ; BC = the bytes walked
        ld a,(archive_page)
        out (kPagePort),a
        ld hl,kMaxRecord
        or a
        sbc hl,bc
        jp c,player_stop
        ret

; A = the record byte at HL; HL moves past it, mapping the next page when it passes kBankEnd.
; In: DE = the AppVar's bytes left from HL. Out: DE one less. Destroys F. Stops the player when
; no byte is left.
walk_byte:
        ld a,d
        or e
        jp z,player_stop
        dec de
        ld a,(hl)
        inc hl
        bit 7,h
        ret z
        ld h,kBankA >> 8
        push af
        in a,(kPagePort)
        inc a
        out (kPagePort),a
        pop af
        ret

; The AppVars to play: their count, then their names; kelvonar-pack places them here.
player_data:
