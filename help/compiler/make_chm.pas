{ make_chm PROJECT.hhp: compiles the HTML Help project that qm_helpc writes, with Free Pascal's CHM
  library, as chmcmd does, except for the context numbers: chmcmd 3.2.2 records the page of a
  context number by the project folder's full path on the building machine, which no viewer finds
  inside the file. Here it is the page's name inside the file. }
program make_chm;

{$mode objfpc}{$H+}

uses
  {$ifdef unix}cwstring,{$endif} Classes, SysUtils, chmwriter, chmfilewriter, chmsitemap;

type
  TProject = class(TChmProject)
  public
    procedure WriteChm(AOutStream: TStream); override;
  end;

procedure TProject.WriteChm(AOutStream: TStream);
var
  Writer: TChmWriter;
  Node: TChmContextNode;
  Toc: TChmSiteMap;
  I: Integer;
begin
  LoadSitemaps;
  Toc := nil;
  Writer := TChmWriter.Create(AOutStream, False);
  try
    Writer.OnGetFileData := @GetData;
    Writer.OnLastFile := @LastFileAdded;
    Writer.FilesToCompress.AddStrings(Files);
    Writer.FilesToCompress.AddStrings(OtherFiles);
    Writer.DefaultPage := DefaultPage;
    Writer.Title := Title;
    Writer.DefaultFont := DefaultFont;
    Writer.FullTextSearch := MakeSearchable;
    Writer.HasBinaryTOC := MakeBinaryTOC;
    Writer.HasBinaryIndex := MakeBinaryIndex;
    Writer.IndexName := IndexFileName;
    Writer.TocName := TableOfContentsFileName;
    Writer.ReadmeMessage := ReadmeMessage;
    Writer.DefaultWindow := DefaultWindow;
    Writer.LocaleID := LocaleID;
    for I := 0 to Files.Count - 1 do
    begin
      Node := TChmContextNode(Files.Objects[I]);
      if not FileExists(ProjectDir + Files[I]) then
        raise Exception.Create('the page ' + Files[I] + ' does not exist');
      if Assigned(Node) and (Node.ContextNumber <> 0) then
        Writer.AddContext(Node.ContextNumber, '/' + Files[I]);
    end;
    if Windows.Count > 0 then
      Writer.Windows := Windows;
    if TableOfContentsFileName <> '' then
    begin
      Toc := TChmSiteMap.Create(stTOC);
      Toc.LoadFromFile(ProjectDir + TableOfContentsFileName);
      Writer.TocSitemap := Toc;
    end;
    Writer.Execute;
  finally
    Writer.Free;
    Toc.Free;
  end;
end;

var
  Project: TProject;
  Output: TFileStream;
begin
  if ParamCount <> 1 then
  begin
    WriteLn(StdErr, 'usage: make_chm PROJECT.hhp');
    Halt(2);
  end;
  Project := TProject.Create;
  try
    try
      Project.LoadFromHHP(ParamStr(1), False);
      Output := TFileStream.Create(Project.ProjectDir + Project.OutputFileName, fmCreate);
      try
        Project.WriteChm(Output);
      finally
        Output.Free;
      end;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'make_chm: ', E.Message);
        Halt(1);
      end;
    end;
  finally
    Project.Free;
  end;
end.
