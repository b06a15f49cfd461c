' demo program
GLOBAL DIM speed
global sub home()
  BASE(0,1)   ' axes
  speed = 100 : ACCEL = 1000
  PRINT "homing " , speed
end sub
WHILE 1
  IF IN(3) = 1 THEN home()
WEND
