// Seeds of the text formats without a writer of our own (tension scripts and
// DirectX .x files) and of movies, which only ffmpeg makes (the outside
// seeds): one damaged stand-in here keeps the movie replay from running dry.
#include "engine/model/tests/XFileSamples.h"
#include "fuzz/seeds/Seeds.h"

namespace seeds {

namespace {

// The tension driver takes its first byte as the music's length less 40 s.
void AddScript(Sink& sink, const std::string& name, u8 length, const char* script)
{
    sink.Add(name, Bytes(1, char(length)) + script);
}

}  // namespace

void MakeScriptSeeds(const std::string& root)
{
    Sink tension(root, "tension");
    AddScript(tension, "levels", 160,
              "ファイル名:ステージ１;\nファイルコメント:一行目\n二行目;\n"
              "HI:30;\nLOW:60;\nCLIMAX:180;\nクライマックスフィナーレ:175.5;\n");
    AddScript(tension, "spellings", 160,
              "ローテンション:100;\nノーマル:30;\nhitension:70;\nct:190;\n  \tLOW :110;\n");
    AddScript(tension, "comments", 20, "/* note */ HI:5; // tail\nLOW:50;\n");
    AddScript(tension, "too-short", 0, "HI:10;\n");

    Sink xfile(root, "xfile");
    xfile.Add("hand-model.x", Bytes(xfile_test::kHandModel));
    xfile.Add("triangle.x", Bytes(xfile_test::kTriangle));
    xfile.Add("face-materials-past-the-faces.x",
              "xof 0303txt 0032\nMesh M { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;; 2; 3;0,1,2;, 3;2,3,0;;\n"
              "MeshMaterialList { 2; 4; 1,0,1,7;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n"
              "Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }\n");
    // Values used as no index: read, not refused.
    const std::string triangle = "xof 0303txt 0032\nMesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
    xfile.Add("normal-faces-past-the-normals.x",
              triangle + "MeshNormals { 2; 0;0;1;, 0;1;0;; 3; 3;0,1,9;, 0;, 2;1,0;; } }\n");
    xfile.Add("colours-for-vertices-past-the-mesh.x",
              triangle + "MeshVertexColors { 4; 9;1;0;0;1;;, 0;0;1;0;1;;, 7;0;0;1;1;;, 3;1;1;0;1;;; } }\n");
    xfile.Add("weights-in-no-mesh-and-past-the-vertices.x",
              triangle + "XSkinMeshHeader { 70000; 65536; 1; }\n"
              "SkinWeights { \"B\"; 2; 2, 3; 1.0, 0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }\n"
              "Frame B { SkinWeights { \"B\"; 1; 5; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }\n");
    xfile.Add("number-at-top-level.x", triangle + "}\n7;\nFrame Skipped { }\nFrame B { }\n");

    Sink movie(root, "movie");
    movie.Add("cut-pack-header.mpg", Bytes("\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01", 10));
}

}  // namespace seeds
