' Toggles output 0 every half second.
WHILE 1
    OP(0, 1)
    DELAY(500)
    OP(0, 0)
    DELAY(500)
WEND
