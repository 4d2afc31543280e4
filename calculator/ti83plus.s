; The player for the TI-83 Plus and TI-84 Plus family: an Asm( program whose code the OS copies to
; 0x9D95. The frame records lie in AppVars, in RAM or in the archive, which the program names at
; player_data: their count (a byte), then each name in 8 bytes padded with zeros, in playing order;
; each AppVar holds whole records. This file holds what is particular to these models (RAM areas,
; interrupt set-up, finding and reading the AppVars, OS calls, exit); decoder.s holds the player.

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
        .equ crossing_at, window + 2    ; 2 bytes: that record in its first page
        .equ crossing_first, crossing_at + 2 ; 2 bytes: the bytes from it to that page's end
        .equ kVectorTable, 0x9900       ; 257 bytes of kVectorByte, inside appBackUpScreen
        .equ kVectorByte, 0x9A
        .equ kVectorTarget, 0x9A9A      ; whatever byte the bus gives, the vector points here
        .equ kOsFlags, 0x89F0           ; IY while the OS runs
        .equ kIndicatorFlags, 0x12      ; (IY + 0x12) bit 0: the OS draws its run indicator
        .equ kOp1, 0x8478               ; the type and name a symbol search looks for
        .equ kFps, 0x9824               ; the OS's free RAM lies from (kFps) up to (kOps)
        .equ kOps, 0x9828
        .equ kAppVarObj, 0x15
        .equ kNameBytes, 8
        .equ kBankA, 0x4000             ; the flash page of port 6 shows from here to 0x7FFF
        .equ kBankEnd, 0x8000
        .equ kPagePort, 6
        .equ kArchiveNameLength, 9      ; an archived variable: offset of its name's length
        ; The longest record: a code type 0 key record whose 768 bytes are all escaped markers.
        .equ kMaxRecord, 1 + 768 * 3
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
        in a,(kPagePort)
        ld (saved_page),a
        res 0,(iy + kIndicatorFlags)    ; no run indicator over the frames
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
        ld c,(hl)
        inc hl
        ld b,(hl)
        inc hl
        ex de,hl                        ; DE = the first record
        ld h,b
        ld l,c
        add hl,de
        ld b,h
        ld c,l                          ; BC = HL = the end of the records
        call play_records
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
; Plays archive_left record bytes from HL in the mapped page: straight from flash while the
; records lie in the page, through the window for the one that crosses into the next page.
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
        ld h,d                          ; the records end in this page
        ld l,e
        add hl,bc
        ld b,h
        ld c,l
        call play_records
        ld hl,0
        ld (archive_left),hl
        ret
1:      push de
        ld bc,kMaxRecord + 1
        or a
        sbc hl,bc
        pop de
        jr c,archive_crossing
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

; A record that may cross into the next page: the window gets the rest of this page and the
; start of the next, up to a record's length, and the record plays from there.
; In: DE = the record, BC = archive_left, more than the bytes left in the page.
archive_crossing:
        ld (crossing_at),de
        ld hl,kBankEnd
        or a
        sbc hl,de
        ld (crossing_first),hl          ; the record's bytes in this page at most
        ld hl,kMaxRecord
        or a
        sbc hl,bc
        ld h,b
        ld l,c                          ; the window takes the bytes left ...
        jr nc,1f
        ld hl,kMaxRecord                ; ... or a record's length
1:      ld de,(window)
        add hl,de
        push hl                         ; the window's end
        ld hl,(crossing_at)
        ld bc,(crossing_first)
        ldir
        ld a,(archive_page)
        inc a
        ld (archive_page),a
        out (kPagePort),a
        pop hl
        push hl
        or a
        sbc hl,de
        ld b,h
        ld c,l                          ; BC = the bytes from the next page
        ld a,b
        or c
        ld hl,kBankA
        jr z,2f
        ldir
2:      pop hl
        ld de,(window)
        ld b,d
        ld c,e
        inc bc                          ; one record
        call play_records
        ld hl,(window)
        ex de,hl
        or a
        sbc hl,de
        ex de,hl                        ; DE = the bytes played
        ld hl,(archive_left)
        or a
        sbc hl,de
        ld (archive_left),hl
        ld hl,(crossing_first)
        or a
        sbc hl,de
        jr z,3f
        jr c,3f
        ld a,(archive_page)             ; the record ended in the first page
        dec a
        ld (archive_page),a
        out (kPagePort),a
        ld hl,(crossing_at)
        add hl,de
        jp archive_next
3:      ex de,hl                        ; it ended in the next page, at kBankA + played - first
        ld hl,kBankA
        or a
        sbc hl,de
        jp archive_next

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

; The AppVars to play: their count, then their names; kelvonar-pack places them here.
player_data:
