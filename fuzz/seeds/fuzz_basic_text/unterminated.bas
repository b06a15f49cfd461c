PRINT "open string
X=1