; Assembles with a warning only: the player build must refuse it.
        .text
        .db 300
