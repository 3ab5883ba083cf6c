begin
  ShowMessage(Format('[%s]', ['abc']));
  ShowMessage(Format('[%6s][%-6s]', ['ab', 'cd']));
  ShowMessage(Format('[%.2s]', ['abcdef']));
  ShowMessage(Format('%1:s %0:s', ['world', 'hello']));
  ShowMessage(Format('%s=%d', ['x', 10]));
end.
