PRINT "a 'not a comment'  " ' comment
  REM x
A  =  """"  


