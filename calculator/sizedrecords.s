; play_sized_records: plays records kept behind their size, as every model keeps them (after
; player_data on the TI-83 and TI-82, in each AppVar on the 83 Plus family). In: HL = the size
; word, the records right after it. Out and destroyed: as play_records. A macro, so that each
; model's start keeps its bytes and T-states.
        .macro play_sized_records
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
        .endm
