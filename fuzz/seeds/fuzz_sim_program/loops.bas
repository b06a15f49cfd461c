LOCAL i, total
FOR i = 1 TO 5 STEP 2
  total = total + i
  IF total > 3 THEN PRINT "big", total
NEXT i
WHILE total > 0
  total = total - 4
WEND
IF total < 0 THEN
  PRINT "neg"
ELSE
  PRINT "pos"
ENDIF
END
