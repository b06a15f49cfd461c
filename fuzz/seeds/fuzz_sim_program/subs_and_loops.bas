DIM a(4)
SUB twice(x)
  RETURN x * 2
END SUB
FOR i = 0 TO 3
  a(i) = twice(i)
NEXT
IF a(3) > 5 THEN
  PRINT "big", a(3)
ELSE
  PRINT 0
ENDIF
END
